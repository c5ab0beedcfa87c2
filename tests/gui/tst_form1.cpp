// The main window on players without a decoder: what its load does with the
// settings, its own commands, focus, the topmost routine and the About window.
#include "FakeBackend.h"
#include "TestEnv.h"

#include "common/OnTopBas.h"
#include "platform/Form.h"
#include "platform/Forms.h"
#include "platform/TextField.h"
#include "platform/WebBrowser.h"
#include "player/WindowsMediaPlayer.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QWindow>

namespace {
// The built-in addresses as the build names the maker's server.
QString builtIn(int slot) { return QStringLiteral(KIJKRAAM_SERVER "/kwa/KR5/KR%1.asx").arg(slot); }
const QString CounterPage = QStringLiteral(KIJKRAAM_SERVER "/kwa/KR5/count.php");
const QString TickerPage = QStringLiteral(KIJKRAAM_SERVER "/kwa/KR5/Daz_ticker.php");

WindowsMediaPlayer *player(const QObject *form, int slot)
{
    return named<WindowsMediaPlayer>(form, QStringLiteral("WindowsMediaPlayer%1").arg(slot));
}
QString field(const QObject *form, const char *name) { return named<TextField>(form, QLatin1String(name))->Text(); }
QString location(const QObject *form, const char *name)
{
    return named<WebBrowser>(form, QLatin1String(name))->LocationURL();
}
QAction *item(const QObject *form, const char *name) { return named<QAction>(form, QLatin1String(name)); }
QStringList captions(const QMenu *menu)
{
    QStringList list;
    for (QAction *a : menu->actions())
        list << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
}
} // namespace

class TestForm1 : public QObject {
    Q_OBJECT

    Form *loadMain()
    {
        Form *form = Forms::show(WindowKey::Main);
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
        Form *form = loadMain();
        QVERIFY(form);
        QCOMPARE(location(form, "WebBrowser1"), CounterPage);
        QVERIFY(location(form, "WebBrowser2").isEmpty());
        QCOMPARE(field(form, "Ticker"), QStringLiteral("Nee"));
        QCOMPARE(field(form, "Text1"), QStringLiteral("Nee"));
        QCOMPARE(form->outerHeightTw(), 8115.0);
        // What the window system reports agrees to within a pixel.
        QVERIFY(qAbs(form->frameGeometry().height() * 15.0 - 8115.0) <= 15.0);
        QCOMPARE(form->clientWidthTw(), 8415.0);
        for (int slot = 1; slot <= 4; ++slot) {
            QCOMPARE(player(form, slot)->URL(), builtIn(slot));
            QCOMPARE(player(form, slot)->playState(), int(PlayState::Undefined));
            QCOMPARE(player(form, slot)->statusText(), QStringLiteral("Gesloten"));
        }
        QVERIFY(!QFile::exists(env.iniPath())); // reading never creates the file
    }

    void newsAndAutostart_tickerTallWindowPlaying()
    {
        TestEnv env;
        env.writeIni(iniWith("Nieuws=Ja\r\nAutostart=Ja\r\n"));
        Form *form = loadMain();
        QCOMPARE(location(form, "WebBrowser2"), TickerPage);
        QCOMPARE(form->outerHeightTw(), 8790.0);
        QVERIFY(qAbs(form->frameGeometry().height() * 15.0 - 8790.0) <= 15.0);
        for (int slot = 1; slot <= 4; ++slot) {
            WindowsMediaPlayer *p = player(form, slot);
            FakeBackend *backend = FakeBackend::of(p);
            QVERIFY(backend);
            QCOMPARE(p->URL(), addr(slot));
            QCOMPARE(backend->calls.last(), QStringLiteral("open ") + addr(slot));
            QCOMPARE(p->playState(), int(PlayState::Transitioning));
            backend->reachPlaying();
            QCOMPARE(p->playState(), int(PlayState::Playing));
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
        Form *form = loadMain();
        QCOMPARE(form->outerHeightTw(), ticker ? 8790.0 : 8115.0);
        QCOMPARE(location(form, "WebBrowser2").isEmpty(), !ticker);
        for (int slot = 1; slot <= 4; ++slot) {
            FakeBackend *backend = FakeBackend::of(player(form, slot));
            QCOMPARE(backend->current.isEmpty(), !plays);
            QCOMPARE(backend->calls.last(), plays ? QStringLiteral("open ") + addr(slot) : QStringLiteral("stop"));
        }
    }

    void addresses_autoOnlyForExactAuto()
    {
        TestEnv env;
        env.writeIni("[Stream1]\r\nAdres=auto\r\n[Stream2]\r\nAdres=\r\n[Stream3]\r\nAdres=Auto\r\n"
                     "[Stream4]\r\nAdres=Auto \r\n");
        Form *form = loadMain();
        QCOMPARE(field(form, "Adres1"), QStringLiteral("auto"));
        QCOMPARE(player(form, 1)->URL(), QStringLiteral("auto"));
        QCOMPARE(player(form, 2)->URL(), QString());
        QCOMPARE(player(form, 2)->statusText(), QStringLiteral("Gesloten"));
        QCOMPARE(player(form, 3)->URL(), builtIn(3));
        // A trailing blank is part of the value: not the sentinel.
        QCOMPARE(player(form, 4)->URL(), QStringLiteral("Auto "));
    }

    void longAddress_reachesThePlayerWhole()
    {
        TestEnv env;
        const QString longUrl = QStringLiteral("rtsp://127.0.0.1:9/") + QString(300, QLatin1Char('x'));
        env.writeIni("[Stream2]\nAdres=" + longUrl.toUtf8() + "\n");
        Form *form = loadMain();
        QCOMPARE(field(form, "Adres2"), longUrl);
        QCOMPARE(player(form, 2)->URL(), longUrl);
    }

    void layout_designGeometryAndControls()
    {
        TestEnv env;
        Form *form = loadMain();
        QCOMPARE(form->windowTitle(), QStringLiteral("Kijkraam 2005"));
        QCOMPARE(player(form, 2)->Left(), 4200.0);
        QCOMPARE(player(form, 3)->Top(), 3720.0);
        QCOMPARE(player(form, 4)->geometry(), QRect(280, 248, 281, 241));
        auto *command1 = named<QPushButton>(form, "Command1");
        auto *command4 = named<QPushButton>(form, "Command4");
        QCOMPARE(command4->geometry(), QRect(504, 472, 57, 17));
        QCOMPARE(command1->text(), QStringLiteral("Vergroot"));
        QVERIFY(named(form, "WebBrowser1")->geometry().left() >= form->client()->width()); // never seen
        for (const char *hidden : {"Adres1", "Text1", "Ticker"})
            QVERIFY2(!named(form, hidden)->isVisible(), hidden);
        // Buttons and black boxes are drawn above the players and the ticker.
        const QObjectList kids = form->client()->children();
        QVERIFY(kids.indexOf(command1) > kids.indexOf(player(form, 1)));
        QVERIFY(kids.indexOf(named(form, "Picture3")) > kids.indexOf(named(form, "WebBrowser2")));
        // Menus in screen order with their captions.
        auto *file = named<QMenu>(form, "mnuFile");
        auto *view = named<QMenu>(form, "mnuView");
        QCOMPARE(captions(view),
                 (QStringList{"&Stream1 Full Screen", "&Stream2 Full Screen", "&Stream3 Full Screen",
                              "&Stream4 Full Screen", "-", "&Horizontaal", "&Verticaal", "-", "Always On &Top"}));
        QCOMPARE(captions(file), (QStringList{"&Opties", "&About", "-", "&Sluiten"}));
        QCOMPARE(file->title(), QStringLiteral("&Bestand"));
        QCOMPARE(view->title(), QStringLiteral("&Beeld"));
        // Fixed frame: the user cannot resize it.
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    }

    void focus_startsOnTheFirstPlayer_tabFollowsTheDesign()
    {
        TestEnv env;
        Form *form = loadMain();
        QApplication::setActiveWindow(form);
        QTRY_VERIFY(form->isActiveWindow());
        // The keyboard is with player 1 (or a part of it), not with a button
        // that a Space would press.
        QWidget *focus = QApplication::focusWidget();
        QVERIFY2(focus == player(form, 1) || player(form, 1)->isAncestorOf(focus),
                 qPrintable(focus ? focus->objectName() : QStringLiteral("none")));
        // The chain through the window's own controls, in design order.
        const QStringList design = {"WindowsMediaPlayer1",
                                    "WindowsMediaPlayer2",
                                    "WindowsMediaPlayer3",
                                    "WindowsMediaPlayer4",
                                    "Command1",
                                    "Command2",
                                    "Command3",
                                    "Command4",
                                    "Text1",
                                    "Adres1",
                                    "Adres2",
                                    "Adres3",
                                    "Adres4",
                                    "WebBrowser1",
                                    "Picture3",
                                    "Picture2",
                                    "Picture1",
                                    "WebBrowser2",
                                    "Ticker"};
        QStringList chain;
        QWidget *w = player(form, 1);
        do {
            if (w->parentWidget() == form->client() && design.contains(w->objectName()))
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != player(form, 1) && chain.size() < 40);
        // Controls that never take the focus (browsers, picture boxes) keep
        // no place in the chain.
        QStringList focusable;
        for (const QString &name : design)
            if (named(form, name)->focusPolicy() != Qt::NoFocus)
                focusable << name;
        QCOMPARE(focusable.mid(0, 8), design.mid(0, 8));
        QCOMPARE(chain.filter(QRegularExpression(QStringLiteral("^(%1)$").arg(focusable.join(QLatin1Char('|'))))),
                 focusable);
        // Tab from the players reaches the first "Vergroot" button before
        // any other button.
        QWidget *next = player(form, 4);
        while ((next = next->nextInFocusChain()) && !(next->focusPolicy() & Qt::TabFocus)) {
        }
        QCOMPARE(next, named(form, "Command1"));
    }

    void fullScreen_onlyWhilePlaying()
    {
        TestEnv env;
        env.writeIni(iniWith("Autostart=Ja\r\n"));
        Form *form = loadMain();
        WindowsMediaPlayer *p2 = player(form, 2);
        QAction *fullScreen2 = item(form, "mnuFullScreen2");
        FakeBackend *b2 = FakeBackend::of(p2);
        fullScreen2->trigger(); // still connecting
        QVERIFY(!p2->fullScreen());
        b2->reach(PlayState::Buffering, 40);
        QCOMPARE(p2->playState(), int(PlayState::Buffering));
        QCOMPARE(p2->statusText(), QStringLiteral("Bufferen: 40%"));
        fullScreen2->trigger();
        QVERIFY(!p2->fullScreen());
        b2->reachPlaying();
        p2->controls.pause();
        QCOMPARE(p2->playState(), int(PlayState::Paused));
        fullScreen2->trigger();
        QVERIFY(!p2->fullScreen());
        p2->controls.play();
        QCOMPARE(p2->playState(), int(PlayState::Playing));
        const QRect tile = p2->geometry();
        fullScreen2->trigger();
        QVERIFY(p2->fullScreen());
        QVERIFY(p2->isWindow());
        QVERIFY(!player(form, 1)->fullScreen());
        // Esc brings it back into its place, still playing.
        QTest::keyClick(p2, Qt::Key_Escape);
        QVERIFY(!p2->fullScreen());
        QVERIFY(!p2->isWindow());
        QCOMPARE(p2->geometry(), tile);
        QCOMPARE(p2->playState(), int(PlayState::Playing));
        // Closed players stay in their window.
        p2->closeMedia();
        fullScreen2->trigger();
        QVERIFY(!p2->fullScreen());
    }

    void alwaysOnTop_toggleKeepsGeometry()
    {
        TestEnv env;
        Form *form = loadMain();
        QAction *onTop = item(form, "mnuOnTop");
        const QRect before = form->geometry();
        QVERIFY(!onTop->isChecked());
        onTop->trigger();
        QVERIFY(onTop->isChecked());
        QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(form->windowHandle()->flags() & Qt::WindowStaysOnTopHint);
        QVERIFY(form->isVisible());
        QCOMPARE(form->geometry(), before);
        onTop->trigger();
        QVERIFY(!onTop->isChecked());
        QVERIFY(!(form->windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(!(form->windowHandle()->flags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(form->geometry(), before);
    }

    void reload_readsSettingsAgainAndStartsFresh()
    {
        TestEnv env;
        Form *form = loadMain();
        item(form, "mnuOnTop")->trigger();
        Forms::unload(WindowKey::Main);
        TestEnv::flushDeletes();
        QVERIFY(!Forms::find(WindowKey::Main));
        env.writeIni(iniWith("Nieuws=Ja\r\n"));
        form = loadMain();
        QVERIFY(!item(form, "mnuOnTop")->isChecked());
        QCOMPARE(location(form, "WebBrowser1"), CounterPage);
        QCOMPARE(form->outerHeightTw(), 8790.0);
        QCOMPARE(player(form, 1)->URL(), addr(1));
    }

    void about_isTopmostAndSingle_typedTextDoesNotLast()
    {
        TestEnv env;
        Form *form = loadMain();
        item(form, "mnuAbout")->trigger();
        Form *about = Forms::find(WindowKey::About);
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QCOMPARE(about->windowTitle(), QStringLiteral("About"));
        QVERIFY(about->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(named<QLabel>(about, "Label1_0")->text(), QStringLiteral("Kijkraam 2005"));
        QCOMPARE(named<QLabel>(about, "Label2")->text(), QStringLiteral("VOORWAARDEN"));
        auto *terms = named<QPlainTextEdit>(about, "Text1");
        const QString original = terms->toPlainText();
        QCOMPARE(original.count(QLatin1Char('\n')), 6);
        QCOMPARE(about->client()->size(), QSize(444, 196));
        item(form, "mnuAbout")->trigger();
        QCOMPARE(Forms::find(WindowKey::About), about);
        // The terms are the one control that takes the keyboard: what is
        // typed there shows, and is gone when the window is opened again.
        QApplication::setActiveWindow(about);
        QTRY_COMPARE(QApplication::focusWidget(), terms);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("getypt"));
        QVERIFY(terms->toPlainText().contains(QStringLiteral("getypt")));
        about->close();
        TestEnv::flushDeletes();
        QVERIFY(!Forms::find(WindowKey::About));
        item(form, "mnuAbout")->trigger();
        about = Forms::find(WindowKey::About);
        QCOMPARE(named<QPlainTextEdit>(about, "Text1")->toPlainText(), original);
        QVERIFY(about->windowFlags() & Qt::WindowStaysOnTopHint); // its load ran again
    }

    void about_captionsFitInMetricCompatibleFonts()
    {
        TestEnv env;
        Form *about = Forms::load(WindowKey::About);
        // Windows fonts are mapped to the free fonts with their metrics.
        for (const char *family : {"Arial", "MS Sans Serif"})
            QCOMPARE(QFontInfo(QFont(QLatin1String(family))).family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(QFontInfo(QFont(QStringLiteral("Times New Roman"))).family(), QStringLiteral("Liberation Serif"));
        QCOMPARE(QFontInfo(QFont(QStringLiteral("Courier New"))).family(), QStringLiteral("Liberation Mono"));
        // The six lines of the terms each fit the field's width.
        auto *terms = named<QPlainTextEdit>(about, "Text1");
        const int room = terms->viewport()->width() - 2 * int(terms->document()->documentMargin());
        const QStringList lines = terms->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        for (const QString &line : lines)
            QVERIFY2(QFontMetrics(terms->font()).horizontalAdvance(line) <= room, qPrintable(line));
        const QList<QLabel *> labels = about->findChildren<QLabel *>();
        QCOMPARE(labels.size(), 8);
        for (QLabel *l : labels) {
            // Set as designed, not squeezed, and within the designed box.
            QCOMPARE(QFontInfo(l->font()).family(), QStringLiteral("Liberation Sans"));
            QVERIFY(l->font().stretch() == QFont::AnyStretch || l->font().stretch() == QFont::Unstretched);
            const QSize text = QFontMetrics(l->font()).size(0, l->text());
            QVERIFY2(text.width() <= l->width() && text.height() <= l->height(),
                     qPrintable(QStringLiteral("%1: %2x%3 in %4x%5")
                                    .arg(l->text())
                                    .arg(text.width())
                                    .arg(text.height())
                                    .arg(l->width())
                                    .arg(l->height())));
        }
    }

    void setOnTop_showsHiddenWindowWithoutMoving()
    {
        TestEnv env;
        // A window that is loaded but not shown, at a place of its own.
        Form *hidden = Forms::load(WindowKey::Options);
        QVERIFY(!hidden->isVisible());
        hidden->move(123, 145);
        const QRect before = hidden->geometry();
        SetOnTop(hidden, true);
        QVERIFY(hidden->isVisible());
        QVERIFY(hidden->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(QTest::qWaitForWindowExposed(hidden));
        QCOMPARE(hidden->geometry(), before);
        // Taken out of the band it stays where it is, and shown.
        SetOnTop(hidden, false);
        QVERIFY(!(hidden->windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(hidden->isVisible());
        QCOMPARE(hidden->geometry(), before);
        // The About window's own load puts it on top and shows it.
        Form *about = Forms::load(WindowKey::About);
        QVERIFY(about->isVisible());
        QVERIFY(about->windowFlags() & Qt::WindowStaysOnTopHint);
    }

    void exit_endsTheProgramWithEveryWindow()
    {
        TestEnv env;
        Form *form = loadMain();
        Forms::show(WindowKey::About);
        Forms::show(WindowKey::Stream3);
        item(form, "mnuExit")->trigger();
        QCOMPARE(env.quitRequests, 1);
        QVERIFY(Forms::loadedNames().isEmpty());
        // What main() does once the event loop has returned: every window
        // and every player goes before the process does.
        Forms::destroyAll();
        QVERIFY(FakeBackend::alive().isEmpty());
    }

    // The program runs while any window is loaded and ends when the last
    // goes, whichever window that is and however it goes.
    void lastWindow_endsTheProgram_anyOrder_data()
    {
        QTest::addColumn<QStringList>("steps");
        // "close X": the close box; "unload X": a window's own close command.
        QTest::newRow("main close box, then Stream1's Sluiten") << QStringList{"close Form1", "unload Stream1"};
        QTest::newRow("Stream1's close box, then the main window's") << QStringList{"close Stream1", "close Form1"};
        QTest::newRow("main, options, About, stream")
            << QStringList{"close Form1", "close Opties", "close Form2", "close Stream1"};
        QTest::newRow("snapshot window last") << QStringList{"close Form1", "unload Stream1", "unload Snapshot"};
        QTest::newRow("layout window by its close box")
            << QStringList{"switch Horizontaal", "close Stream1", "close Horizontaal"};
    }
    void lastWindow_endsTheProgram_anyOrder()
    {
        QFETCH(QStringList, steps);
        TestEnv env;
        env.writeIni("[Kijkraam]\r\nAutosave_Snapshot=Nee\r\n");
        Form *main = loadMain();
        // Open the windows the steps name, each as the user opens it.
        const QString named_ = steps.join(QLatin1Char(' '));
        if (named_.contains(QLatin1String("Stream1")))
            named<QPushButton>(main, "Command1")->click();
        if (named_.contains(QLatin1String("Opties")))
            item(main, "mnuOpties")->trigger();
        if (named_.contains(QLatin1String("Form2")))
            item(main, "mnuAbout")->trigger();
        if (named_.contains(QLatin1String("Snapshot")))
            Forms::show(WindowKey::Snapshot);
        for (int i = 0; i < steps.size(); ++i) {
            QCOMPARE(env.quitRequests, 0);
            const QString what = steps[i].section(QLatin1Char(' '), 0, 0);
            const QString name = steps[i].section(QLatin1Char(' '), 1);
            QVERIFY2(what == QLatin1String("switch") || Forms::find(windowKey(name)), qPrintable(steps[i]));
            if (what == QLatin1String("switch"))
                item(main, "mnuHorizontaal")->trigger();
            else if (what == QLatin1String("close"))
                Forms::find(windowKey(name))->close();
            else
                Forms::unload(windowKey(name));
            TestEnv::flushDeletes();
        }
        QVERIFY(Forms::loadedNames().isEmpty());
        QCOMPARE(env.quitRequests, 1);
        QVERIFY(FakeBackend::alive().isEmpty());
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestForm1)
#include "tst_form1.moc"
