// Snapshots of stream windows that play a real test stream: the bitmap
// beside the program, the preview window and its save dialog.
#include "DemoServer.h"
#include "TestEnv.h"

#include "platform/Forms.h"
#include "platform/ProgramDir.h"
#include "platform/SaveDialog.h"
#include "platform/TextField.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"
#include "stream/SnapshotButton.h"
#include "stream/SnapshotWindow.h"
#include "stream/StreamWindow.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace {

// Share of clearly non-black pixels in `area` of `image`.
double litShare(const QImage &image, const QRect &area)
{
    const QRect r = area.intersected(image.rect());
    int lit = 0, all = 0;
    for (int y = r.top(); y <= r.bottom(); y += 2)
        for (int x = r.left(); x <= r.right(); x += 2, ++all) {
            const QColor c = image.pixelColor(x, y);
            lit += c.red() + c.green() + c.blue() > 90;
        }
    return all ? double(lit) / all : 0;
}

QRect videoRect(StreamWindow *w)
{
    QWidget *surface = named<WindowsMediaPlayer>(w, "WindowsMediaPlayer1")->videoSurface();
    return QRect(surface->mapTo(w, QPoint(0, 0)), surface->size());
}

QMessageBox *visibleQuestion()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            return box;
    return nullptr;
}

// Runs `action` once `find` gives a visible widget: the click that opens a
// dialog waits in the dialog's own event loop, so the test acts from a
// timer. An action never starts an event loop of its own inside the timer
// (timers would stop firing there); it posts what opens one.
template <typename W> void when(std::function<W *()> find, std::function<void(W *)> action)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, find, action] {
        W *widget = find();
        if (!widget || !widget->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(widget);
    });
    timer->start();
}

} // namespace

class TestSnapshot : public QObject {
    Q_OBJECT

    QTemporaryDir m_media;
    std::unique_ptr<DemoServer> m_server;

    QByteArray iniWith(const QByteArray &autosaveLine) const
    {
        QByteArray ini = "[Kijkraam]\r\n" + autosaveLine;
        for (int slot = 1; slot <= 4; ++slot)
            ini +=
                QStringLiteral("[Stream%1]\r\nAdres=%2\r\n").arg(slot).arg(m_server->url("/media/clip.wmv")).toUtf8();
        return ini;
    }

    // Open the slot's window and wait until its video is drawn.
    void openPlaying(int slot, StreamWindow **out)
    {
        auto *w = qobject_cast<StreamWindow *>(Forms::show(WindowKeys::stream(slot)));
        QVERIFY(w && QTest::qWaitForWindowExposed(w));
        QTRY_VERIFY_WITH_TIMEOUT(
            named<WindowsMediaPlayer>(w, "WindowsMediaPlayer1")->playState() == int(PlayState::Playing), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(litShare(w->grab().toImage(), videoRect(w)) > 0.5, 10000);
        *out = w;
    }

    static QStringList bitmapsIn(const QString &dir) { return QDir(dir).entryList({"*.bmp"}, QDir::Files); }
    static void click(StreamWindow *w) { QTest::mouseClick(named(w, "Image1"), Qt::LeftButton, {}, QPoint(10, 10)); }
    static SnapshotWindow *preview() { return qobject_cast<SnapshotWindow *>(Forms::find(WindowKey::Snapshot)); }
    static QPushButton *button(QObject *w, const char *name) { return named<QPushButton>(w, QLatin1String(name)); }
    // The preview's "Opslaan", answered with `answer` (a path, or a cancel).
    static void save(std::optional<QString> answer)
    {
        const auto next = SaveDialog::answerSeam.standIn(std::make_optional(std::move(answer)));
        button(preview(), "Command1")->click();
        QVERIFY(!SaveDialog::answerSeam.get());
    }
    // The preview with a picture of slot `slot`, from a window that plays.
    void openPreview(TestEnv &env, int slot, QImage *picture)
    {
        env.writeIni(iniWith("Autosave_Snapshot=Nee\r\n"));
        StreamWindow *w = nullptr;
        openPlaying(slot, &w);
        QVERIFY(w);
        click(w);
        QVERIFY(preview() && QTest::qWaitForWindowExposed(preview()));
        *picture = preview()->picture();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(DemoServer::makeWmv(m_media.path() + "/clip.wmv", 60));
        QVERIFY(DemoServer::makeWmv(m_media.path() + "/slot1.wmv", 60)); // what "Auto" plays in slot 1
        m_server = std::make_unique<DemoServer>(QStringList{"--no-live", "--media", m_media.path()});
        QVERIFY(m_server->isRunning());
    }
    void cleanupTestCase()
    {
        TestEnv::closeAll();
        m_server.reset();
    }

    void autosave_writesWindowPictureWithVideoAndOpensNothing()
    {
        TestEnv env;
        env.writeIni(iniWith("")); // no Autosave_Snapshot key: "Ja"
        QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
        StreamWindow *w = nullptr;
        openPlaying(2, &w);
        QVERIFY(w);
        QWidget *ring = named(w, "focusFrame"); // the player has the keyboard
        QTRY_VERIFY(ring->isVisible());
        const QString before = QDateTime::currentDateTime().toString("dd-MM-yy_HHmmss");
        click(w);
        const QString after = QDateTime::currentDateTime().toString("dd-MM-yy_HHmmss");

        const QStringList files = bitmapsIn(env.dir());
        QCOMPARE(files.size(), 1);
        QVERIFY(files[0] == "SnapshotStream2_" + before + ".bmp" || files[0] == "SnapshotStream2_" + after + ".bmp");
        QVERIFY(!preview());
        QImageReader reader(env.dir() + "/" + files[0]);
        QCOMPARE(reader.format(), QByteArray("bmp"));
        const QImage picture = reader.read();
        QCOMPARE(picture.size(), w->size() * w->devicePixelRatio());
        // The video itself is in the picture, and the red button over it.
        QVERIFY2(litShare(picture, videoRect(w)) > 0.5, "the video area of the snapshot is black");
        QCOMPARE(picture.pixelColor(named(w, "Image1")->mapTo(w, QPoint(10, 10))), QColor(255, 0, 0));
        // The focus ring stays on the screen and out of the picture.
        QVERIFY(ring->isVisible());
        const QPoint top = ring->mapTo(w, QPoint(ring->width() / 2, 0));
        for (const QPoint &p : {top, top + QPoint(0, 1), ring->mapTo(w, QPoint(0, ring->height() / 2))})
            QVERIFY(picture.pixelColor(p) != ring->palette().color(QPalette::Window));
        // The picture stays on the clipboard; what was there is gone.
        QCOMPARE(QGuiApplication::clipboard()->image().size(), picture.size());
        QVERIFY(QGuiApplication::clipboard()->text() != QStringLiteral("earlier"));

        // A second snapshot in the same second does not replace the first.
        click(w);
        click(w);
        QCOMPARE(bitmapsIn(env.dir()).size(), 3);
        QCOMPARE(QImage(env.dir() + "/" + files[0]), picture);
    }

    void preview_onlyForExactJa_oneWindowKeepsFirstPicture_data()
    {
        QTest::addColumn<QString>("autosave");
        QTest::newRow("Nee") << QStringLiteral("Nee");
        QTest::newRow("ja") << QStringLiteral("ja");
        QTest::newRow("Ja and a blank") << QStringLiteral("Ja ");
        QTest::newRow("empty") << QString();
    }
    void preview_onlyForExactJa_oneWindowKeepsFirstPicture()
    {
        QFETCH(QString, autosave);
        TestEnv env;
        env.writeIni(iniWith("Autosave_Snapshot=" + autosave.toUtf8() + "\r\n"));
        StreamWindow *w2 = nullptr;
        openPlaying(2, &w2);
        QVERIFY(w2);
        QCOMPARE(named<TextField>(w2, "Save")->Text(), autosave);
        click(w2);
        QVERIFY(bitmapsIn(env.dir()).isEmpty());
        SnapshotWindow *shown = preview();
        QVERIFY(shown && QTest::qWaitForWindowExposed(shown));
        const QImage first = shown->picture();
        QCOMPARE(first.size(), w2->size() * w2->devicePixelRatio());
        QVERIFY(litShare(first, videoRect(w2)) > 0.5);
        QVERIFY(named<QLabel>(shown, "Image1")->hasScaledContents()
                && named<QLabel>(shown, "Image1")->pixmap().size() == first.size());
        if (QByteArray(QTest::currentDataTag()) != "Nee")
            return;

        // Design, and controls that stay in place when the window is resized.
        QCOMPARE(shown->client()->size(), QSize(423, 385));
        QCOMPARE(named<QLabel>(shown, "Label1")->text(), QStringLiteral("Verkleinde Snapshot:"));
        QCOMPARE(named<QLabel>(shown, "Label1")->palette().color(QPalette::WindowText), QColor(224, 224, 224));
        QCOMPARE(button(shown, "Command1")->text(), QStringLiteral("Opslaan"));
        QCOMPARE(button(shown, "Command3")->text(), QStringLiteral("Sluiten"));
        QVERIFY(shown->windowFlags() & Qt::WindowMaximizeButtonHint);
        shown->resize(shown->width() + 200, shown->height() + 150);
        QTRY_COMPARE(shown->client()->width(), 623);
        QCOMPARE(named<QLabel>(shown, "Image1")->geometry(), QRect(96, 32, 317, 311));
        QCOMPARE(button(shown, "Command3")->geometry(), QRect(333, 352, 81, 25));

        // Another window's capture while it is open: the same preview with
        // the same picture; the new one (a pixel wider) is only on the clipboard.
        StreamWindow *w4 = nullptr;
        openPlaying(4, &w4);
        QVERIFY(w4);
        click(w4);
        QCOMPARE(preview(), shown);
        QCOMPARE(shown->picture(), first);
        QCOMPARE(QGuiApplication::clipboard()->image().size(), w4->size() * w4->devicePixelRatio());
        QVERIFY(w4->width() != w2->width() && bitmapsIn(env.dir()).isEmpty());
        // Closed and opened again, it takes the clipboard picture of that moment.
        button(shown, "Command3")->click();
        TestEnv::flushDeletes();
        QVERIFY(!preview());
        click(w4);
        QVERIFY(preview());
        QCOMPARE(preview()->picture().size(), w4->size() * w4->devicePixelRatio());
    }

    void saveDialog_cancelChooseAndLastPath()
    {
        TestEnv env;
        QImage picture;
        openPreview(env, 3, &picture);
        QVERIFY(!picture.isNull());
        QTemporaryDir target;
        const QString chosen = target.path() + "/mijn snapshot"; // no extension is added

        // Cancel: nothing written, no message, the window stays open.
        save(std::nullopt);
        const SaveDialog::Shown shown = SaveDialog::lastShown();
        QCOMPARE(shown.title, QStringLiteral("Snapshot opslaan als..."));
        QCOMPARE(shown.nameFilters, QStringList{QStringLiteral("Bitmap (*.bmp)")});
        QVERIFY(shown.asksBeforeOverwrite);
        QVERIFY(preview()->isVisible() && QDir(target.path()).isEmpty());
        QVERIFY(!visibleQuestion());

        // A new name: the full-size picture under exactly that name.
        save(chosen);
        QImageReader reader(chosen);
        QCOMPARE(reader.format(), QByteArray("bmp"));
        QCOMPARE(reader.read().convertToFormat(QImage::Format_RGB32), picture.convertToFormat(QImage::Format_RGB32));

        // The next "Opslaan" offers that path.
        save(std::nullopt);
        QCOMPARE(SaveDialog::lastShown().proposed, chosen);

        // A place where no file can be made (not even by root): silently
        // nothing, the window stays.
        const QString unwritable = QStringLiteral("/proc/kijkraam-snapshot.bmp");
        save(unwritable);
        QVERIFY(preview()->isVisible() && !QFile::exists(unwritable));
        QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"mijn snapshot"});
        QVERIFY(bitmapsIn(env.dir()).isEmpty());
        QVERIFY(!visibleQuestion());
    }

    // The real dialog, as the user meets it: it offers the last path, asks
    // before an existing file is replaced, and "No" returns to it.
    void saveDialog_realDialogAsksBeforeReplacing()
    {
        TestEnv env;
        QImage picture;
        openPreview(env, 3, &picture);
        QTemporaryDir target;
        const QString chosen = target.path() + "/bestaand.bmp";
        save(chosen);
        QFile::resize(chosen, 10);

        QString offered, question;
        bool modal = false, backInDialog = false;
        when<QFileDialog>([] { return SaveDialog::showing(); },
                          [&](QFileDialog *d) {
                              offered = d->selectedFiles().value(0);
                              modal = d->isModal();
                              when<QMessageBox>(visibleQuestion, [&, d](QMessageBox *box) {
                                  question = box->text();
                                  box->button(QMessageBox::No)->click();
                                  QTimer::singleShot(0, d, [&backInDialog, d] {
                                      backInDialog = d->isVisible();
                                      d->reject();
                                  });
                              });
                              QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
                          });
        button(preview(), "Command1")->click();
        QCOMPARE(offered, chosen);
        QVERIFY(modal);
        QVERIFY2(question.contains("bestaand.bmp"), qPrintable(question));
        QVERIFY(backInDialog);
        QCOMPARE(QFileInfo(chosen).size(), qint64(10));

        // "Yes" replaces it.
        when<QFileDialog>([] { return SaveDialog::showing(); },
                          [&](QFileDialog *d) {
                              when<QMessageBox>(visibleQuestion,
                                                [](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
                              QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
                          });
        button(preview(), "Command1")->click();
        QCOMPARE(QImage(chosen).size(), picture.size());
    }

    void unwritableProgramDirectory_nothingWrittenWindowUsable()
    {
        TestEnv env;
        // The program directory is a plain file: no settings to read (so
        // autosave "Ja" and the built-in address), nothing can be written.
        const QString plain = env.dir() + "/plain";
        QFile file(plain);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const auto server = Addresses::serverSeam.standIn(m_server->base());
        std::optional<Seam<ProgramDir::StandIn>::Override> programDir;
        programDir.emplace(ProgramDir::seam, ProgramDir::StandIn{plain});
        StreamWindow *w = nullptr;
        openPlaying(1, &w);
        QVERIFY(w);
        QCOMPARE(named<TextField>(w, "Save")->Text(), QStringLiteral("Ja"));
        click(w);
        QCOMPARE(QDir(env.dir()).entryList(QDir::Files | QDir::Hidden), QStringList{"plain"});
        QVERIFY(!preview());
        QCOMPARE(QGuiApplication::clipboard()->image().size(), w->size() * w->devicePixelRatio());
        // The window goes on: it plays, steps, and saves once it can.
        QCOMPARE(named<WindowsMediaPlayer>(w, "WindowsMediaPlayer1")->playState(), int(PlayState::Playing));
        const double width = w->outerWidthTw();
        named<QAction>(w, "mnuVergroot")->trigger();
        QCOMPARE(w->outerWidthTw(), width + 500);
        programDir.reset(); // back to the TestEnv's
        click(w);
        QCOMPARE(bitmapsIn(env.dir()).size(), 1);
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
