// The row and column windows on players without a decoder: their load, the
// size steps in a real window, and the switches between the three
// four-player windows.
#include "FakeBackend.h"
#include "TestEnv.h"

#include "layouts/LayoutGeometry.h"
#include "platform/Form.h"
#include "platform/Forms.h"
#include "platform/TextField.h"
#include "platform/Twips.h"
#include "platform/WebBrowser.h"
#include "player/WindowsMediaPlayer.h"

#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <functional>
#include <utility>

using namespace LayoutGeometry;

namespace {
QString addr(int round, int slot) { return QStringLiteral("rtsp://127.0.0.1:9/r%1/s%2").arg(round).arg(slot); }
QByteArray iniFor(int round, const char *autostart)
{
    QByteArray ini = QByteArray("[Kijkraam]\nAutostart=") + autostart + "\n";
    for (int slot = 1; slot <= 4; ++slot)
        ini += QStringLiteral("[Stream%1]\nAdres=%2\n").arg(slot).arg(addr(round, slot)).toUtf8();
    return ini;
}
WindowsMediaPlayer *playerOf(QObject *w, int slot)
{
    return w ? w->findChild<WindowsMediaPlayer *>(QStringLiteral("WindowsMediaPlayer%1").arg(slot)) : nullptr;
}
QAction *item(const QObject *w, const char *name) { return named<QAction>(w, QLatin1String(name)); }
QString field(const QObject *w, const char *name) { return named<TextField>(w, QLatin1String(name))->Text(); }
// The built-in addresses as the build names the maker's server.
QString builtIn(int slot) { return QStringLiteral(KIJKRAAM_SERVER "/kwa/KR5/KR%1.asx").arg(slot); }
QStringList fourPlayerWindows()
{
    QStringList open = Forms::loadedNames();
    open.removeIf([](const QString &n) { return n != "Form1" && n != "Horizontaal" && n != "verticaal"; });
    return open;
}
// Geometry in twips and in pixels, to see that a refused step changed nothing.
QString snapshot(Form *w)
{
    QString s = QStringLiteral("%1x%2 ").arg(w->outerWidthTw()).arg(w->outerHeightTw());
    for (int slot = 1; slot <= 4; ++slot) {
        WindowsMediaPlayer *p = playerOf(w, slot);
        s += QStringLiteral("%1,%2,%3,%4 ").arg(p->Left()).arg(p->Top()).arg(p->Width()).arg(p->Height());
    }
    QTest::qWait(20);
    const QRect f = w->frameGeometry();
    return s + QStringLiteral("%1,%2 %3x%4").arg(f.x()).arg(f.y()).arg(f.width()).arg(f.height());
}
} // namespace

class TestLayouts : public QObject {
    Q_OBJECT
    static void bothWindows()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Horizontaal") << QStringLiteral("Horizontaal");
        QTest::newRow("verticaal") << QStringLiteral("verticaal");
    }
    static Form *open(const QString &name)
    {
        Form *w = Forms::show(windowKey(name));
        if (w && !QTest::qWaitForWindowExposed(w))
            qWarning("not exposed");
        return w;
    }
    // The window after k net steps, by the closed formulas, to the pixel.
    static QString offFormula(Form *w, int k, double outerW, double outerH)
    {
        const bool row = w->objectName() == QLatin1String("Horizontaal");
        QString expected =
            QStringLiteral("%1x%2 ").arg(outerW + (row ? 2000 : 500) * k).arg(outerH + (row ? 500 : 2000) * k);
        for (int n = 0; n < 4; ++n) {
            const int along = n * ((row ? 2760 : 2520) + 500 * k);
            expected += QStringLiteral("%1,%2,%3,%4 ")
                            .arg(row ? along : 0)
                            .arg(row ? 0 : along)
                            .arg(2775 + 500 * k)
                            .arg(2535 + 500 * k);
        }
        const QString actual = snapshot(w);
        if (!actual.startsWith(expected))
            return actual + QStringLiteral(" want ") + expected;
        const QSize px(Twips::toPx(w->clientWidthTw()), Twips::toPx(w->clientHeightTw()));
        return w->client()->size() == px ? QString()
                                         : QStringLiteral("client not %1x%2").arg(px.width()).arg(px.height());
    }

private slots:
    void initTestCase() { FakeBackend::install(); }
    void cleanupTestCase() { FakeBackend::uninstall(); }

    void load_designAndSettings_data() { bothWindows(); }
    void load_designAndSettings()
    {
        QFETCH(QString, name);
        const bool row = name == QLatin1String("Horizontaal");
        TestEnv env;
        // Without a file: the defaults. With one: lower-case "auto" is an
        // address, and only the exact "Nee" closes the players.
        if (!row)
            env.writeIni("[Kijkraam]\nAutostart=NEE\n[Stream2]\nAdres=auto\n[Stream3]\nAdres=\n");
        Form *w = open(name);
        QCOMPARE(w->windowTitle(), QStringLiteral("Kijkraam 2005"));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(!(w->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QCOMPARE(w->client()->size(), row ? QSize(738, 169) : QSize(185, 673));
        // The client area's corner at its design place, whatever frame the
        // window system draws.
        QTRY_COMPARE(w->client()->mapToGlobal(QPoint(0, 0)), row ? QPoint(16, 179) : QPoint(436, 49));
        QCOMPARE(field(w, "Text1"), row ? QStringLiteral("Nee") : QStringLiteral("NEE"));
        const QString urls[] = {builtIn(1), row ? builtIn(2) : QStringLiteral("auto"), row ? builtIn(3) : QString(),
                                builtIn(4)};
        for (int slot = 1; slot <= 4; ++slot) {
            WindowsMediaPlayer *p = playerOf(w, slot);
            QCOMPARE(p->geometry(), row ? QRect(184 * (slot - 1), 0, 185, 169) : QRect(0, 168 * (slot - 1), 185, 169));
            QVERIFY(!p->stretchToFit() && !p->property("enableContextMenu").toBool());
            QCOMPARE(p->URL(), urls[slot - 1]);
            QCOMPARE(p->statusText() == QStringLiteral("Gesloten"), row);
        }
        QCOMPARE(FakeBackend::of(playerOf(w, 2))->calls.last(),
                 row ? QStringLiteral("stop") : QStringLiteral("open auto"));
        QCOMPARE(field(w, "Adres1"), QStringLiteral("Auto"));
        QVERIFY(!named(w, "Adres1")->isVisible() && !named(w, "Text1")->isVisible());
        // The keyboard starts with player 1; Tab goes through the players in slot order.
        QApplication::setActiveWindow(w);
        QTRY_VERIFY(w->isActiveWindow());
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus == playerOf(w, 1) || playerOf(w, 1)->isAncestorOf(focus));
        QStringList chain;
        for (QWidget *c = playerOf(w, 1); chain.size() < 4; c = c->nextInFocusChain())
            if (c->objectName().startsWith(QLatin1String("WindowsMediaPlayer")))
                chain << c->objectName();
        QCOMPARE(chain, (QStringList{"WindowsMediaPlayer1", "WindowsMediaPlayer2", "WindowsMediaPlayer3",
                                     "WindowsMediaPlayer4"}));
        QStringList menus;
        for (QMenu *m : {named<QMenu>(w, "mnuFile"), named<QMenu>(w, "mnuView")}) {
            menus << m->title();
            for (QAction *a : m->actions())
                menus << (a->isSeparator() ? QStringLiteral("-") : a->text()) + QLatin1Char(' ') + a->objectName();
        }
        QCOMPARE(menus.join(QLatin1Char('|')),
                 QStringLiteral("&Bestand|&Opties mnuOpties|&About mnuAbout|- mnu007|&Sluiten mnuExit|&Beeld|"
                                "&Stream1 Full Screen mnuFullScreen|&Stream2 Full Screen mnuFullScreen2|"
                                "&Stream3 Full Screen mnuFullScreen3|&Stream4 Full Screen mnuFullScreen4|- mnuStreep2|"
                                "&Vergroot venster mnuVergroot|&Verklein venster mnuVerklein|- mnuStreep|"
                                "&Normale weergave mnuNormaal|%1|- mnu001|Always On &Top mnuOnTop")
                     .arg(row ? "&Verticaal mnuVerticaal" : "&Horizontaal mnuHorizontaal"));
        QCOMPARE(w->findChild<QAction *>(QStringLiteral("mnuVerticaal")) != nullptr, row);
        QCOMPARE(w->findChild<QAction *>(QStringLiteral("mnuHorizontaal")) != nullptr, !row);
    }

    void steps_formulasBoundsAndFreshLoad_data() { bothWindows(); }
    void steps_formulasBoundsAndFreshLoad()
    {
        QFETCH(QString, name);
        const bool row = name == QLatin1String("Horizontaal");
        TestEnv env;
        Form *w = open(name);
        const double outerW = w->outerWidthTw(), outerH = w->outerHeightTw();
        const QString design = snapshot(w);
        auto stepUntilRefused = [&](QAction *item, int &k, int dk) {
            for (int tries = 0; tries < 30; ++tries) {
                const QString before = snapshot(w);
                item->trigger();
                if (snapshot(w) == before) // refused whole: nothing changed
                    return;
                k += dk;
                QTRY_COMPARE(offFormula(w, k, outerW, outerH), QString());
            }
            QFAIL("never refused");
        };
        // Two shrinks leave players of 1775 x 1535; the third would go
        // below the minimum. Two enlarge steps bring back the design exactly.
        int k = 0;
        stepUntilRefused(item(w, "mnuVerklein"), k, -1);
        QCOMPARE(k, -2);
        QVERIFY(w->menuBar()->actionGeometry(named<QMenu>(w, "mnuView")->menuAction()).right() < w->menuBar()->width());
        for (int i = 0; i < 2; ++i)
            item(w, "mnuVergroot")->trigger();
        QTRY_COMPARE(snapshot(w), design);

        // Enlarge until the next step would leave the screen's available
        // area (with 1920 x 1080: eight steps across, two down), and back.
        k = 0;
        stepUntilRefused(item(w, "mnuVergroot"), k, 1);
        const QRect avail = w->screen()->availableGeometry(), frame = w->frameGeometry();
        QVERIFY2(k >= 1, "no room for one enlarge step on the test screen");
        QVERIFY2(avail.contains(frame), qPrintable(QStringLiteral("window %1,%2 %3x%4 leaves the screen")
                                                       .arg(frame.x())
                                                       .arg(frame.y())
                                                       .arg(frame.width())
                                                       .arg(frame.height())));
        QVERIFY((frame.right() + (row ? 2000 : 500) / 15.0 > avail.right() + 1)
                || (frame.bottom() + (row ? 500 : 2000) / 15.0 > avail.bottom() + 1));
        for (int i = 0; i < k; ++i)
            item(w, "mnuVerklein")->trigger();
        QTRY_COMPARE(snapshot(w), design);

        // Enlarged, unloaded, loaded again: the design.
        item(w, "mnuVergroot")->trigger();
        Forms::unload(windowKey(name));
        TestEnv::flushDeletes();
        w = open(name);
        QTRY_COMPARE(snapshot(w), design);
    }

    void navigation_loadShowUnloadOneAtATime()
    {
        TestEnv env;
        env.writeIni(iniFor(0, "Nee"));
        Form *main = Forms::show(WindowKey::Main);
        named<QPushButton>(main, "Command1")->click();
        item(main, "mnuOpties")->trigger();
        QList<QPointer<Form>> children{Forms::find(WindowKey::Stream1), Forms::find(WindowKey::Options)};
        const char *hops[][3] = {
            {"Form1", "mnuHorizontaal", "Horizontaal"},     {"Horizontaal", "mnuVerticaal", "verticaal"},
            {"verticaal", "mnuHorizontaal", "Horizontaal"}, {"Horizontaal", "mnuNormaal", "Form1"},
            {"Form1", "mnuVerticaal", "verticaal"},         {"verticaal", "mnuNormaal", "Form1"}};
        for (int round = 1; round <= 6; ++round) {
            const QString to = QLatin1String(hops[round - 1][2]);
            env.writeIni(iniFor(round, round % 2 ? "Ja" : "Nee")); // read again at each load
            QPointer<Form> from = Forms::find(windowKey(QLatin1String(hops[round - 1][0])));
            if (from->objectName() != QLatin1String("Form1")) {
                item(from, "mnuVergroot")->trigger(); // not carried over
                item(from, "mnuAbout")->trigger();
                children << Forms::find(WindowKey::About);
            }
            // When the old window starts to go, the next one is loaded and
            // showing, and the old players still exist.
            QString seenAtHide;
            QList<QPointer<WindowsMediaPlayer>> old;
            for (int slot = 1; slot <= 4; ++slot)
                old << playerOf(from, slot);
            struct Filter : QObject {
                std::function<void()> onHide;
                bool eventFilter(QObject *, QEvent *e) override
                {
                    if (e->type() == QEvent::Hide && onHide)
                        std::exchange(onHide, nullptr)();
                    return false;
                }
            } filter;
            filter.onHide = [&] {
                Form *next = Forms::find(windowKey(to));
                seenAtHide = QStringLiteral("%1 %2 %3")
                                 .arg(next && next->isVisible() ? "shown" : "hidden")
                                 .arg(playerOf(next, 4) ? playerOf(next, 4)->URL() : QString())
                                 .arg(std::count_if(old.begin(), old.end(), [](auto &p) { return !p.isNull(); }));
            };
            from->installEventFilter(&filter);
            from->findChild<QAction *>(QLatin1String(hops[round - 1][1]))->trigger();
            QCOMPARE(seenAtHide, QStringLiteral("shown %1 4").arg(addr(round, 4)));
            QCOMPARE(fourPlayerWindows(), QStringList{to});
            TestEnv::flushDeletes();
            QVERIFY(!from && std::all_of(old.begin(), old.end(), [](auto &p) { return p.isNull(); }));

            Form *next = Forms::find(windowKey(to));
            for (int slot = 1; slot <= 4; ++slot)
                QCOMPARE(FakeBackend::of(playerOf(next, slot))->calls.last(),
                         round % 2 ? QStringLiteral("open ") + addr(round, slot) : QStringLiteral("stop"));
            if (to != QLatin1String("Form1"))
                QCOMPARE(playerOf(next, 4)->Width(), 2775.0);
            else // the main window's whole load ran again
                QCOMPARE(named<WebBrowser>(next, "WebBrowser1")->LocationURL(),
                         QStringLiteral(KIJKRAAM_SERVER "/kwa/KR5/count.php"));
            for (const auto &child : children)
                QVERIFY(child && child->isVisible());
            int players = 4;
            for (const auto &child : children)
                players += int(child->findChildren<WindowsMediaPlayer *>().size());
            QCOMPARE(FakeBackend::alive().size(), players);
        }

        // The close box closes the layout window only; "&Sluiten" ends all.
        item(Forms::find(WindowKey::Main), "mnuHorizontaal")->trigger();
        Forms::find(WindowKey::Row)->close();
        TestEnv::flushDeletes();
        QCOMPARE(fourPlayerWindows(), QStringList());
        QCOMPARE(env.quitRequests, 0);
        item(open(QStringLiteral("verticaal")), "mnuExit")->trigger();
        QCOMPARE(env.quitRequests, 1);
        QVERIFY(Forms::loadedNames().isEmpty());
        TestEnv::flushDeletes();
        QVERIFY(FakeBackend::alive().isEmpty());
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestLayouts)
#include "tst_layouts.moc"
