// The row and column windows' enlarge and shrink steps without a display:
// against the closed formulas of the design, and the bounds that refuse a step.
#include "layouts/LayoutGeometry.h"

#include <QtTest>

using namespace LayoutGeometry;
Q_DECLARE_METATYPE(const LayoutDesign *)

namespace {
constexpr float NcW = 30, NcH = 405; // some frame and menu bar, in twips

LayoutState walk(const LayoutDesign &layout, LayoutState s, const char *steps)
{
    for (; *steps; ++steps)
        s = step(layout, s, *steps == '+' ? Step::Enlarge : Step::Shrink);
    return s;
}

// k net steps, as the design documents them; exact, not fuzzy, comparison.
QString offFormula(const LayoutDesign &layout, const LayoutState &s, int k)
{
    const bool row = &layout == &Row;
    QStringList bad;
    auto check = [&](const char *what, int n, float actual, float expected) {
        if (actual != expected)
            bad << QStringLiteral("%1[%2]=%3 (want %4)").arg(what).arg(n).arg(actual).arg(expected);
    };
    for (int n = 0; n < 4; ++n) {
        const float along = float(n * ((row ? 2760 : 2520) + 500 * k));
        check("left", n + 1, s.players[n].left, row ? along : 0);
        check("top", n + 1, s.players[n].top, row ? 0 : along);
        check("width", n + 1, s.players[n].width, float(2775 + 500 * k));
        check("height", n + 1, s.players[n].height, float(2535 + 500 * k));
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
        const LayoutState design = designState(*layout, NcW, NcH);
        QCOMPARE(offFormula(*layout, design, 0), QString());
        QCOMPARE(offFormula(*layout, walk(*layout, design, "++"), 2), QString());
        QCOMPARE(offFormula(*layout, walk(*layout, design, "++--"), 0), QString());
        QCOMPARE(offFormula(*layout, walk(*layout, design, "-"), -1), QString());
        // Only the net count matters, whatever the path, from -5 to +12.
        LayoutState s = design;
        for (int k = 1; k <= 12; ++k)
            QCOMPARE(offFormula(*layout, s = walk(*layout, s, "+-+"), k), QString());
        for (int k = 11; k >= -5; --k)
            QCOMPARE(offFormula(*layout, s = walk(*layout, s, "-+-"), k), QString());
        // A step adds to what the window holds now, not to a remembered count.
        s = design;
        s.players[2].width = 1234.5f;
        QVERIFY(step(*layout, s, Step::Enlarge).players[2].width == 1734.5f);
    }

    void boundsRefuseTheWholeStep_data() { bothLayouts(); }
    void boundsRefuseTheWholeStep()
    {
        QFETCH(const LayoutDesign *, layout);
        const bool row = layout == &Row;
        const LayoutState design = designState(*layout, NcW, NcH);
        auto ok = [&](const char *path, Step d, const Limits &l) {
            const LayoutState s = walk(*layout, design, path);
            return allowed(s, step(*layout, s, d), l);
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
};

QTEST_GUILESS_MAIN(TstLayoutGeometry)
#include "tst_layoutgeometry.moc"
