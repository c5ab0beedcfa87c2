// The enlarge and shrink steps of the row, column and stream windows without
// a display: against the closed formulas of the design, and the bounds that
// refuse a step.
#include "layouts/LayoutGeometry.h"

#include <QtTest>

using namespace LayoutGeometry;
Q_DECLARE_METATYPE(const LayoutDesign *)

namespace {
constexpr float NcW = 30, NcH = 405; // some frame and menu bar, in twips

WindowState walk(const StepAmounts &amounts, WindowState s, const char *steps)
{
    for (; *steps; ++steps)
        s = step(amounts, s, *steps == '+' ? Step::Enlarge : Step::Shrink);
    return s;
}

// k net steps, as the design documents them; exact, not fuzzy, comparison.
QString offFormula(const LayoutDesign &layout, const WindowState &s, int k)
{
    const bool row = &layout == &Row;
    QStringList bad;
    auto check = [&](const char *what, int n, float actual, float expected) {
        if (actual != expected)
            bad << QStringLiteral("%1[%2]=%3 (want %4)").arg(what).arg(n).arg(actual).arg(expected);
    };
    for (int n = 0; n < 4; ++n) {
        const float along = float(n * ((row ? 2760 : 2520) + 500 * k));
        check("left", n + 1, s.controls[n].left, row ? along : 0);
        check("top", n + 1, s.controls[n].top, row ? 0 : along);
        check("width", n + 1, s.controls[n].width, float(2775 + 500 * k));
        check("height", n + 1, s.controls[n].height, float(2535 + 500 * k));
    }
    check("outerWidth", 0, s.outerWidth, (row ? 11070 + 2000 * k : 2775 + 500 * k) + NcW);
    check("outerHeight", 0, s.outerHeight, (row ? 2535 + 500 * k : 10095 + 2000 * k) + NcH);
    return bad.join(QLatin1Char(' '));
}
} // namespace

class TstLayoutGeometry : public QObject {
    Q_OBJECT
    static void bothLayouts()
    {
        QTest::addColumn<const LayoutDesign *>("layout");
        QTest::newRow("Horizontaal") << &Row;
        QTest::newRow("verticaal") << &Column;
    }

private slots:
    void stepsFollowTheClosedFormulas_data() { bothLayouts(); }
    void stepsFollowTheClosedFormulas()
    {
        QFETCH(const LayoutDesign *, layout);
        const WindowState design = designState(*layout, NcW, NcH);
        QCOMPARE(offFormula(*layout, design, 0), QString());
        QCOMPARE(offFormula(*layout, walk(layout->step, design, "++"), 2), QString());
        QCOMPARE(offFormula(*layout, walk(layout->step, design, "++--"), 0), QString());
        QCOMPARE(offFormula(*layout, walk(layout->step, design, "-"), -1), QString());
        // Only the net count matters, whatever the path, from -5 to +12.
        WindowState s = design;
        for (int k = 1; k <= 12; ++k)
            QCOMPARE(offFormula(*layout, s = walk(layout->step, s, "+-+"), k), QString());
        for (int k = 11; k >= -5; --k)
            QCOMPARE(offFormula(*layout, s = walk(layout->step, s, "-+-"), k), QString());
        // A step adds to what the window holds now, not to a remembered count.
        s = design;
        s.controls[2].width = 1234.5f;
        QVERIFY(step(layout->step, s, Step::Enlarge).controls[2].width == 1734.5f);
    }

    void boundsRefuseTheWholeStep_data() { bothLayouts(); }
    void boundsRefuseTheWholeStep()
    {
        QFETCH(const LayoutDesign *, layout);
        const bool row = layout == &Row;
        const WindowState design = designState(*layout, NcW, NcH);
        auto ok = [&](const char *path, Step d, const Limits &l) {
            const WindowState s = walk(layout->step, design, path);
            return allowed(s, step(layout->step, s, d), l);
        };
        Limits open;
        open.minPlayerWidth = open.minPlayerHeight = 0;
        open.maxOuterWidth = open.maxOuterHeight = 1e9f;

        // The player minimum: players of 1775 x 1535 after two shrinks, a
        // third (1275 x 1035) is refused; reaching a minimum exactly is fine.
        Limits l = open;
        l.minPlayerWidth = l.minPlayerHeight = MinPlayerTw;
        QVERIFY(ok("-", Step::Shrink, l) && !ok("--", Step::Shrink, l) && ok("--", Step::Enlarge, l));
        l = open;
        l.minPlayerHeight = 2035;
        QVERIFY(ok("", Step::Shrink, l) && !ok("-", Step::Shrink, l));
        l = open;
        l.minOuterWidth = design.outerWidth - (row ? 2000 : 500) + 1;
        QVERIFY(!ok("", Step::Shrink, l) && ok("", Step::Enlarge, l));

        // The screen: room for exactly three steps across and two down.
        l = open;
        l.maxOuterWidth = design.outerWidth + 3 * (row ? 2000 : 500);
        l.maxOuterHeight = design.outerHeight + 2 * (row ? 500 : 2000);
        QVERIFY(ok("+", Step::Enlarge, l) && !ok("++", Step::Enlarge, l) && ok("++", Step::Shrink, l));
        l.maxOuterHeight = 1e9f;
        QVERIFY(ok("++", Step::Enlarge, l) && !ok("+++", Step::Enlarge, l));

        // Out of bounds already: a step back towards them is allowed.
        l = open;
        l.maxOuterWidth = 100;
        QVERIFY(ok("", Step::Shrink, l) && !ok("", Step::Enlarge, l));
        l = open;
        l.minPlayerHeight = 1e6f;
        QVERIFY(ok("", Step::Enlarge, l) && !ok("", Step::Shrink, l));

        // Even with no minimum, the sixth shrink's negative sizes are refused.
        QVERIFY(ok("----", Step::Shrink, open) && !ok("-----", Step::Shrink, open));
    }

    // The stream window: window, player and the snapshot button's place.
    void streamStep_allSixValuesTogether()
    {
        // Stream1's design: client 5880 x 4785 with some frame and menu bar,
        // the player 5895 x 4815, the button at 5520, 4395 (300 x 315).
        const WindowState design{5880 + NcW, 4785 + NcH, {{0, 0, 5895, 4815}, {5520, 4395, 300, 315}}};
        auto values = [](const WindowState &s) {
            return QList<double>{s.outerWidth,        s.outerHeight,        s.controls[0].left, s.controls[0].top,
                                 s.controls[0].width, s.controls[0].height, s.controls[1].left, s.controls[1].top,
                                 s.controls[1].width, s.controls[1].height};
        };
        // Five enlarge steps: 2500 more for the window and the player, the
        // button 2500 further right and down, keeping its size.
        QCOMPARE(values(walk(StreamStep, design, "+++++")),
                 (QList<double>{5910 + 2500, 5190 + 2500, 0, 0, 5895 + 2500, 4815 + 2500, 5520 + 2500, 4395 + 2500, 300,
                                315}));
        QCOMPARE(values(walk(StreamStep, design, "+-")), values(design));
        QCOMPARE(values(walk(StreamStep, design, "---++-+++")), values(walk(StreamStep, design, "+")));
    }

    // The screen bound is measured from where the window stands, not by its
    // size alone: a window placed far right has less room than its size.
    void keepOnScreen_fromWhereTheWindowStands_data()
    {
        QTest::addColumn<float>("frameLeft");
        QTest::addColumn<float>("frameTop");
        QTest::addColumn<QSize>("screenPx");
        QTest::addColumn<int>("stepsAllowed");
        // Stream1's frame (client at 4575, 3855) on a 1920 x 1080 screen:
        // fifteen steps until its bottom edge would pass the screen's.
        QTest::newRow("Stream1, 1920x1080") << 4575.f - NcW / 2 << 3855.f - NcH << QSize(1920, 1080) << 15;
        // Stream2 (client at 4575, 4440) on 1024 x 768: four steps, though
        // a window of twelve steps more would still be smaller than the screen.
        QTest::newRow("Stream2, 1024x768") << 4575.f - NcW / 2 << 4440.f - NcH << QSize(1024, 768) << 4;
        QTest::newRow("below the screen already") << 0.f << 13000.f << QSize(1920, 1080) << 0;
    }
    void keepOnScreen_fromWhereTheWindowStands()
    {
        QFETCH(float, frameLeft);
        QFETCH(float, frameTop);
        QFETCH(QSize, screenPx);
        QFETCH(int, stepsAllowed);
        const TwRect avail{0, 0, screenPx.width() * 15.f, screenPx.height() * 15.f};
        Limits l;
        l.minPlayerWidth = l.minPlayerHeight = 0;
        keepOnScreen(l, frameLeft, frameTop, avail);
        QCOMPARE(l.maxOuterWidth, avail.width - frameLeft);
        QCOMPARE(l.maxOuterHeight, avail.height - frameTop);
        WindowState s{5880 + NcW, 4785 + NcH, {{0, 0, 5895, 4815}, {5520, 4395, 300, 315}}};
        int steps = 0;
        for (; steps < 100; ++steps) {
            const WindowState next = step(StreamStep, s, Step::Enlarge);
            if (!allowed(s, next, l))
                break;
            s = next;
        }
        QCOMPARE(steps, stepsAllowed);
        // Where it stops, the whole window lies on the screen (or, placed
        // below it, did not grow).
        if (steps > 0)
            QVERIFY(frameTop + s.outerHeight <= avail.height && frameLeft + s.outerWidth <= avail.width);
        // ... and it can always shrink again.
        QVERIFY(allowed(s, step(StreamStep, s, Step::Shrink), l));
    }
};

QTEST_GUILESS_MAIN(TstLayoutGeometry)
#include "tst_layoutgeometry.moc"
