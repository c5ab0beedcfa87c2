// The main window on players without a decoder: what its load does with the
// settings, and its own commands.
#include "FakeBackend.h"
#include "TestEnv.h"

#include "app/Form1.h"
#include "common/Form2.h"
#include "platform/Forms.h"
#include "platform/TextField.h"
#include "platform/WebBrowser.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWindow>

class TestForm1 : public QObject {
    Q_OBJECT

    Form1 *loadMain()
    {
        auto *form = qobject_cast<Form1 *>(Forms::show(QStringLiteral("Form1")));
        if (form && !QTest::qWaitForWindowExposed(form))
            qWarning("main window not exposed");
        return form;
    }
    static QString addr(int slot) { return QStringLiteral("rtsp://127.0.0.1:9/slot%1").arg(slot); }
    static QByteArray iniWith(const QByteArray &kijkraam, bool explicitAddresses = true)
    {
        QByteArray ini = "[Kijkraam]\r\n" + kijkraam;
        if (explicitAddresses)
            for (int slot = 1; slot <= 4; ++slot)
                ini += QStringLiteral("[Stream%1]\r\nAdres=%2\r\n").arg(slot).arg(addr(slot)).toUtf8();
        return ini;
    }

private slots:
    void initTestCase() { FakeBackend::install(); }
    void cleanupTestCase() { FakeBackend::uninstall(); }

    void withoutSettingsFile_builtInAddressesClosedShortWindow()
    {
        TestEnv env;
        Form1 *form = loadMain();
        QVERIFY(form);
        QCOMPARE(form->WebBrowser1->LocationURL(), Addresses::counterPage());
        QVERIFY(form->WebBrowser2->LocationURL().isEmpty());
        QCOMPARE(form->Ticker->Text(), QStringLiteral("Nee"));
        QCOMPARE(form->Text1->Text(), QStringLiteral("Nee"));
        QCOMPARE(form->outerHeightTw(), 8115.0);
        // What the window system reports agrees to within a pixel.
        QVERIFY(qAbs(form->frameGeometry().height() * 15.0 - 8115.0) <= 15.0);
        QCOMPARE(form->clientWidthTw(), 8415.0);
        for (int slot = 1; slot <= 4; ++slot) {
            QCOMPARE(form->player(slot)->URL(), Addresses::builtInAddress(slot));
            QCOMPARE(form->player(slot)->playState(), int(WindowsMediaPlayer::Undefined));
            QCOMPARE(form->player(slot)->statusText(), QStringLiteral("Gesloten"));
        }
        QVERIFY(!QFile::exists(env.iniPath())); // reading never creates the file
    }

    void newsAndAutostart_tickerTallWindowPlaying()
    {
        TestEnv env;
        env.writeIni(iniWith("Nieuws=Ja\r\nAutostart=Ja\r\n"));
        Form1 *form = loadMain();
        QCOMPARE(form->WebBrowser2->LocationURL(), Addresses::tickerPage());
        QCOMPARE(form->outerHeightTw(), 8790.0);
        QVERIFY(qAbs(form->frameGeometry().height() * 15.0 - 8790.0) <= 15.0);
        for (int slot = 1; slot <= 4; ++slot) {
            WindowsMediaPlayer *p = form->player(slot);
            FakeBackend *backend = FakeBackend::of(p);
            QVERIFY(backend);
            QCOMPARE(p->URL(), addr(slot));
            QCOMPARE(backend->calls.last(), QStringLiteral("open ") + addr(slot));
            QCOMPARE(p->playState(), int(WindowsMediaPlayer::Transitioning));
            backend->reachPlaying();
            QCOMPARE(p->playState(), int(WindowsMediaPlayer::Playing));
        }
    }

    void autostartAndNews_onlyExactLiteralsCount_data()
    {
        QTest::addColumn<QByteArray>("kijkraam");
        QTest::addColumn<bool>("plays");
        QTest::addColumn<bool>("ticker");
        QTest::newRow("Nee closes") << QByteArray("Autostart=Nee\r\nNieuws=Nee\r\n") << false << false;
        QTest::newRow("empty plays") << QByteArray("Autostart=\r\nNieuws=\r\n") << true << false;
        QTest::newRow("nee in lower case plays") << QByteArray("Autostart=nee\r\nNieuws=ja\r\n") << true << false;
        QTest::newRow("NEE plays") << QByteArray("Autostart=NEE\r\nNieuws=JA\r\n") << true << false;
        QTest::newRow("Ja") << QByteArray("Autostart=Ja\r\nNieuws=Ja\r\n") << true << true;
        QTest::newRow("names in other case") << QByteArray("AUTOSTART=Ja\r\nnieuws=Ja\r\n") << true << true;
    }
    void autostartAndNews_onlyExactLiteralsCount()
    {
        QFETCH(QByteArray, kijkraam);
        QFETCH(bool, plays);
        QFETCH(bool, ticker);
        TestEnv env;
        env.writeIni(iniWith(kijkraam));
        Form1 *form = loadMain();
        QCOMPARE(form->outerHeightTw(), ticker ? 8790.0 : 8115.0);
        QCOMPARE(form->WebBrowser2->LocationURL().isEmpty(), !ticker);
        for (int slot = 1; slot <= 4; ++slot) {
            FakeBackend *backend = FakeBackend::of(form->player(slot));
            QCOMPARE(backend->current.isEmpty(), !plays);
            QCOMPARE(backend->calls.last(), plays ? QStringLiteral("open ") + addr(slot) : QStringLiteral("stop"));
        }
    }

    void addresses_autoOnlyForExactAuto()
    {
        TestEnv env;
        env.writeIni("[Stream1]\r\nAdres=auto\r\n[Stream2]\r\nAdres=\r\n[Stream3]\r\nAdres=Auto\r\n"
                     "[Stream4]\r\nAdres=Auto \r\n");
        Form1 *form = loadMain();
        QCOMPARE(form->Adres1->Text(), QStringLiteral("auto"));
        QCOMPARE(form->player(1)->URL(), QStringLiteral("auto"));
        QCOMPARE(form->player(2)->URL(), QString());
        QCOMPARE(form->player(2)->statusText(), QStringLiteral("Gesloten"));
        QCOMPARE(form->player(3)->URL(), Addresses::builtInAddress(3));
        // A trailing blank is part of the value: not the sentinel.
        QCOMPARE(form->player(4)->URL(), QStringLiteral("Auto "));
    }

    void longAddress_reachesThePlayerWhole()
    {
        TestEnv env;
        const QString longUrl = QStringLiteral("rtsp://127.0.0.1:9/") + QString(300, QLatin1Char('x'));
        env.writeIni("[Stream2]\nAdres=" + longUrl.toUtf8() + "\n");
        Form1 *form = loadMain();
        QCOMPARE(form->Adres2->Text(), longUrl);
        QCOMPARE(form->player(2)->URL(), longUrl);
    }

    void layout_designGeometryAndControls()
    {
        TestEnv env;
        Form1 *form = loadMain();
        QCOMPARE(form->windowTitle(), QStringLiteral("Kijkraam 2005"));
        QCOMPARE(form->player(2)->Left(), 4200.0);
        QCOMPARE(form->player(3)->Top(), 3720.0);
        QCOMPARE(form->player(4)->geometry(), QRect(280, 248, 281, 241));
        QCOMPARE(form->Command4->geometry(), QRect(504, 472, 57, 17));
        QCOMPARE(form->Command1->text(), QStringLiteral("Vergroot"));
        QVERIFY(form->WebBrowser1->geometry().left() >= form->client()->width()); // never seen
        QVERIFY(!form->Adres1->isVisible() && !form->Text1->isVisible() && !form->Ticker->isVisible());
        // Buttons and black boxes are drawn above the players and the ticker.
        const QObjectList kids = form->client()->children();
        QVERIFY(kids.indexOf(static_cast<QObject *>(form->Command1)) > kids.indexOf(static_cast<QObject *>(form->WindowsMediaPlayer1)));
        QVERIFY(kids.indexOf(static_cast<QObject *>(form->Picture3)) > kids.indexOf(static_cast<QObject *>(form->WebBrowser2)));
        // Menus in screen order with their captions.
        QStringList view;
        for (QAction *a : form->mnuView->actions())
            view << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(view, (QStringList{"&Stream1 Full Screen", "&Stream2 Full Screen", "&Stream3 Full Screen",
                                    "&Stream4 Full Screen", "-", "&Horizontaal", "&Verticaal", "-",
                                    "Always On &Top"}));
        QStringList file;
        for (QAction *a : form->mnuFile->actions())
            file << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(file, (QStringList{"&Opties", "&About", "-", "&Sluiten"}));
        QCOMPARE(form->mnuFile->title(), QStringLiteral("&Bestand"));
        QCOMPARE(form->mnuView->title(), QStringLiteral("&Beeld"));
        // Fixed frame: the user cannot resize it.
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    }

    void fullScreen_onlyWhilePlaying()
    {
        TestEnv env;
        env.writeIni(iniWith("Autostart=Ja\r\n"));
        Form1 *form = loadMain();
        WindowsMediaPlayer *p2 = form->player(2);
        FakeBackend *b2 = FakeBackend::of(p2);
        form->mnuFullScreen2->trigger(); // still connecting
        QVERIFY(!p2->fullScreen());
        b2->reach(PlayerBackend::Phase::Buffering, 40);
        QCOMPARE(p2->playState(), int(WindowsMediaPlayer::Buffering));
        QCOMPARE(p2->statusText(), QStringLiteral("Bufferen: 40%"));
        form->mnuFullScreen2->trigger();
        QVERIFY(!p2->fullScreen());
        b2->reachPlaying();
        p2->controls.pause();
        QCOMPARE(p2->playState(), int(WindowsMediaPlayer::Paused));
        form->mnuFullScreen2->trigger();
        QVERIFY(!p2->fullScreen());
        p2->controls.play();
        QCOMPARE(p2->playState(), int(WindowsMediaPlayer::Playing));
        const QRect tile = p2->geometry();
        form->mnuFullScreen2->trigger();
        QVERIFY(p2->fullScreen());
        QVERIFY(p2->isWindow());
        QVERIFY(!form->player(1)->fullScreen());
        // Esc brings it back into its place, still playing.
        QTest::keyClick(p2, Qt::Key_Escape);
        QVERIFY(!p2->fullScreen());
        QVERIFY(!p2->isWindow());
        QCOMPARE(p2->geometry(), tile);
        QCOMPARE(p2->playState(), int(WindowsMediaPlayer::Playing));
        // Closed players stay in their window.
        p2->close();
        form->mnuFullScreen2->trigger();
        QVERIFY(!p2->fullScreen());
    }

    void alwaysOnTop_toggleKeepsGeometry()
    {
        TestEnv env;
        Form1 *form = loadMain();
        const QRect before = form->geometry();
        QVERIFY(!form->mnuOnTop->isChecked());
        form->mnuOnTop->trigger();
        QVERIFY(form->mnuOnTop->isChecked());
        QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(form->windowHandle()->flags() & Qt::WindowStaysOnTopHint);
        QVERIFY(form->isVisible());
        QCOMPARE(form->geometry(), before);
        form->mnuOnTop->trigger();
        QVERIFY(!form->mnuOnTop->isChecked());
        QVERIFY(!(form->windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(!(form->windowHandle()->flags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(form->geometry(), before);
    }

    void reload_readsSettingsAgainAndStartsFresh()
    {
        TestEnv env;
        Form1 *form = loadMain();
        form->mnuOnTop->trigger();
        Forms::unload(QStringLiteral("Form1"));
        TestEnv::flushDeletes();
        QVERIFY(!Forms::find(QStringLiteral("Form1")));
        env.writeIni(iniWith("Nieuws=Ja\r\n"));
        form = loadMain();
        QVERIFY(!form->mnuOnTop->isChecked());
        QCOMPARE(form->WebBrowser1->LocationURL(), Addresses::counterPage());
        QCOMPARE(form->outerHeightTw(), 8790.0);
        QCOMPARE(form->player(1)->URL(), addr(1));
    }

    void about_isTopmostAndSingle()
    {
        TestEnv env;
        Form1 *form = loadMain();
        form->mnuAbout->trigger();
        auto *about = qobject_cast<Form2 *>(Forms::find(QStringLiteral("Form2")));
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QCOMPARE(about->windowTitle(), QStringLiteral("About"));
        QVERIFY(about->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(about->Label1[0]->text(), QStringLiteral("Kijkraam 2005"));
        QCOMPARE(about->Label2->text(), QStringLiteral("VOORWAARDEN"));
        QCOMPARE(about->Text1->toPlainText().count(QLatin1Char('\n')), 6);
        QCOMPARE(about->client()->size(), QSize(444, 196));
        form->mnuAbout->trigger();
        QCOMPARE(Forms::find(QStringLiteral("Form2")), about);
        // Typing into the terms changes nothing that lasts.
        about->close();
        TestEnv::flushDeletes();
        QVERIFY(!Forms::find(QStringLiteral("Form2")));
    }

    void setOnTop_showsHiddenWindowWithoutMoving()
    {
        TestEnv env;
        Form *about = Forms::load(QStringLiteral("Form2")); // its load shows it
        QVERIFY(about->isVisible());
        QVERIFY(about->windowFlags() & Qt::WindowStaysOnTopHint);
    }

    void exit_endsTheProgramWithEveryWindow()
    {
        TestEnv env;
        Form1 *form = loadMain();
        Forms::show(QStringLiteral("Form2"));
        Forms::show(QStringLiteral("Stream3"));
        form->mnuExit->trigger();
        QCOMPARE(env.quitRequests, 1);
        QVERIFY(Forms::loadedNames().isEmpty());
        TestEnv::flushDeletes();
        QVERIFY(FakeBackend::alive().isEmpty()); // every player went with its window
    }

    void closeBox_closesOnlyTheMainWindow()
    {
        TestEnv env;
        Form1 *form = loadMain();
        Forms::show(QStringLiteral("Stream3"));
        form->close();
        TestEnv::flushDeletes();
        QCOMPARE(Forms::loadedNames(), QStringList{QStringLiteral("Stream3")});
        QCOMPARE(env.quitRequests, 0);
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestForm1)
#include "tst_form1.moc"
