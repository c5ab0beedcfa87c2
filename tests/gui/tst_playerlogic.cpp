// The player widget on a decoder that plays nothing: design settings, the
// transport bar, focus and the keyboard, the status line under a covering
// button, full screen, and an engine that cannot start. (The playback rules
// themselves are tested without a display in tst_streamsession.)
#include "FakeBackend.h"
#include "TestEnv.h"

#include "platform/ComponentFailure.h"
#include "player/WindowsMediaPlayer.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {
QStringList opens(FakeBackend *b)
{
    QStringList list;
    for (const QString &c : b->calls)
        if (c.startsWith(QLatin1String("open ")))
            list << c.mid(5);
    return list;
}
} // namespace

class TestPlayerLogic : public QObject {
    Q_OBJECT

private slots:
    void init() { FakeBackend::install(); }
    void cleanup()
    {
        FakeBackend::uninstall();
        ComponentFailure::setHandler({});
    }

    void designSettings_reachTheDecoder()
    {
        WindowsMediaPlayer player;
        FakeBackend *b = FakeBackend::of(&player);
        QCOMPARE(player.volume(), 50);
        QCOMPARE(b->volume_, 50);
        QCOMPARE(player.findChild<QSlider *>(QStringLiteral("volume"))->value(), 50);
        QVERIFY(!player.stretchToFit());
        player.setStretchToFit(true);
        QVERIFY(b->stretch_);
        player.setMute(true);
        QVERIFY(b->mute_);
        QVERIFY(player.findChild<QAbstractButton *>(QStringLiteral("muteButton"))->isChecked());
        // The bar's own controls reach the decoder too.
        player.findChild<QAbstractButton *>(QStringLiteral("muteButton"))->click();
        QVERIFY(!player.mute() && !b->mute_);
        player.findChild<QSlider *>(QStringLiteral("volume"))->setValue(20);
        QCOMPARE(player.volume(), 20);
        QCOMPARE(b->volume_, 20);
        player.setProperty("autoStart", false);
        player.setURL(QStringLiteral("rtsp://127.0.0.1:9/a"));
        QVERIFY(opens(b).isEmpty());
        player.findChild<QAbstractButton *>(QStringLiteral("playButton"))->click();
        QCOMPARE(opens(b).size(), 1);
        player.findChild<QAbstractButton *>(QStringLiteral("stopButton"))->click();
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Stopped));

        QCOMPARE(player.property("uiMode").toString(), QStringLiteral("full"));
        QVERIFY(player.findChild<QWidget *>(QStringLiteral("transportBar"))->isVisibleTo(&player));
        player.setUiMode(QStringLiteral("none"));
        QVERIFY(!player.findChild<QWidget *>(QStringLiteral("transportBar"))->isVisibleTo(&player));
        player.placeTw(4200, 3720, 4215, 3615);
        QCOMPARE(player.geometry(), QRect(280, 248, 281, 241));
        player.setWidth(4215 + 500);
        QCOMPARE(player.Width(), 4715.0);
        QCOMPARE(player.width(), 314);
    }

    void focus_byTabAndClick_spacePlaysAndPauses()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *edit = new QLineEdit(&window);
        auto *player = new WindowsMediaPlayer(&window);
        layout->addWidget(edit);
        layout->addWidget(player);
        window.resize(320, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        QTRY_VERIFY(window.isActiveWindow());
        FakeBackend *b = FakeBackend::of(player);
        player->setURL(QStringLiteral("rtsp://127.0.0.1:9/a"));
        b->reachPlaying();
        auto *frame = player->findChild<QWidget *>(QStringLiteral("focusFrame"));

        edit->setFocus();
        QVERIFY(!frame->isVisible());
        QTest::keyClick(edit, Qt::Key_Tab);
        QVERIFY(player->hasFocus());
        QVERIFY(frame->isVisible());
        QTest::keyClick(player, Qt::Key_Space);
        QCOMPARE(player->playState(), int(WindowsMediaPlayer::Paused));
        QTest::keyClick(player, Qt::Key_Space);
        QCOMPARE(player->playState(), int(WindowsMediaPlayer::Playing));
        QCOMPARE(opens(b).size(), 1);
        QTest::keyClick(player, Qt::Key_Tab); // the bar's controls are not in the chain
        QVERIFY(edit->hasFocus());
        QVERIFY(!frame->isVisible());

        QTest::mouseClick(player->videoSurface(), Qt::LeftButton);
        QVERIFY(player->hasFocus());
        edit->setFocus();
        QTest::mouseClick(player->findChild<QLabel *>(QStringLiteral("status")), Qt::LeftButton);
        QVERIFY(player->hasFocus());
    }

    void status_endsBeforeACoveringSibling()
    {
        // As in the main window: a button raised above the player covers the
        // right end of its transport bar.
        QWidget window;
        window.resize(600, 400);
        auto *player = new WindowsMediaPlayer(&window);
        player->placeTw(0, 0, 4215, 3615);
        auto *button = new QPushButton(QStringLiteral("Vergroot"), &window);
        button->setGeometry(224, 224, 57, 17);
        button->raise();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        FakeBackend *b = FakeBackend::of(player);
        auto *status = player->findChild<QLabel *>(QStringLiteral("status"));

        player->setURL(QStringLiteral("rtsp://127.0.0.1:9/a"));
        b->end(true, QStringLiteral("Connection refused by the other side"));
        const QString full = QStringLiteral("Kan niet openen: Connection refused by the other side");
        QCOMPARE(player->statusText(), full);
        QCOMPARE(player->toolTip(), full);
        QCOMPARE(status->toolTip(), full);
        QVERIFY2(status->text().endsWith(QStringLiteral("…")), qPrintable(status->text()));
        QVERIFY(status->text().startsWith(QStringLiteral("Kan niet")));
        const int left = status->mapTo(&window, status->contentsRect().topLeft()).x();
        QVERIFY2(left + status->fontMetrics().horizontalAdvance(status->text()) <= button->x(),
                 qPrintable(QStringLiteral("%1 + %2 > %3").arg(left).arg(status->fontMetrics().horizontalAdvance(status->text())).arg(button->x())));
        // A text that fits is shown whole.
        player->setURL(QString());
        QCOMPARE(status->text(), QStringLiteral("Geen adres"));
        QCOMPARE(player->toolTip(), QStringLiteral("Geen adres"));
    }

    void fullScreen_byDoubleClickOnTheVideo_backByEscOrDoubleClick()
    {
        QWidget window;
        window.resize(600, 400);
        auto *player = new WindowsMediaPlayer(&window);
        player->placeTw(0, 0, 4215, 3615);
        auto *next = new WindowsMediaPlayer(&window);
        next->placeTw(4200, 0, 4215, 3615);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        QTRY_VERIFY(window.isActiveWindow());
        const QRect tile = player->geometry();
        // A double click on the status line is not one on the video.
        QTest::mouseDClick(player->findChild<QLabel *>(QStringLiteral("status")), Qt::LeftButton);
        QVERIFY(!player->fullScreen());
        QTest::mouseDClick(player->videoSurface(), Qt::LeftButton);
        QVERIFY(player->fullScreen());
        QVERIFY(player->isWindow());
        QVERIFY(!player->findChild<QWidget *>(QStringLiteral("focusFrame"))->isVisible());
        QTest::keyClick(player, Qt::Key_Escape);
        QVERIFY(!player->fullScreen());
        QVERIFY(!player->isWindow());
        QCOMPARE(player->geometry(), tile);
        QTRY_VERIFY(player->hasFocus()); // not the next player's
        QTest::mouseDClick(player->videoSurface(), Qt::LeftButton);
        QVERIFY(player->fullScreen());
        QTest::mouseDClick(player->videoSurface(), Qt::LeftButton);
        QVERIFY(!player->fullScreen());
        QCOMPARE(player->geometry(), tile);
    }

    void engineThatCannotStart_isReportedOnce()
    {
        QStringList reports;
        ComponentFailure::setHandler([&reports](const QString &component, const QString &reason) {
            reports << component + QStringLiteral(": ") + reason;
        });
        { WindowsMediaPlayer working; }
        QVERIFY(reports.isEmpty());
        PlayerBackend::setFactory([] {
            auto *b = new FakeBackend;
            b->startError_ = QStringLiteral("no audio or video output");
            return b;
        });
        WindowsMediaPlayer first, second;
        QCOMPARE(reports, QStringList{QStringLiteral("de mediaspeler (libmpv): no audio or video output")});
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestPlayerLogic)
#include "tst_playerlogic.moc"
