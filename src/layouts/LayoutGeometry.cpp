#include "layouts/LayoutGeometry.h"

#include <cstddef>

namespace LayoutGeometry {

// Four players of 2775 x 2535 at a pitch of 2760: neighbours overlap by one
// pixel, and the client area is 15 wider than the row.
const LayoutDesign Row = {
    WindowKey::Row,
    11070,
    2535,
    240,
    2685,
    {{0, 0, 2775, 2535}, {2760, 0, 2775, 2535}, {5520, 0, 2775, 2535}, {8280, 0, 2775, 2535}},
    {2000, 500, {{0, 0, 500, 500}, {500, 0, 500, 500}, {1000, 0, 500, 500}, {1500, 0, 500, 500}}},
    "mnuVerticaal",
    "&Verticaal",
    WindowKey::Column,
};

// The same players stacked at a pitch of 2520; the column fills the client area.
const LayoutDesign Column = {
    WindowKey::Column,
    2775,
    10095,
    6540,
    735,
    {{0, 0, 2775, 2535}, {0, 2520, 2775, 2535}, {0, 5040, 2775, 2535}, {0, 7560, 2775, 2535}},
    {500, 2000, {{0, 0, 500, 500}, {0, 500, 500, 500}, {0, 1000, 500, 500}, {0, 1500, 500, 500}}},
    "mnuHorizontaal",
    "&Horizontaal",
    WindowKey::Row,
};

// WindowsMediaPlayer1 grows, Image1 moves with its lower-right corner.
const StepAmounts StreamStep = {500, 500, {{0, 0, 500, 500}, {500, 500, 0, 0}}};

WindowState designState(const LayoutDesign &layout, double nonClientWidth, double nonClientHeight)
{
    WindowState s;
    s.outerWidth = layout.clientWidth + nonClientWidth;
    s.outerHeight = layout.clientHeight + nonClientHeight;
    s.controls.assign(std::begin(layout.players), std::end(layout.players));
    return s;
}

WindowState step(const StepAmounts &amounts, const WindowState &current, Step direction)
{
    const double sign = direction == Step::Enlarge ? 1.0 : -1.0;
    WindowState next = current;
    next.outerWidth = next.outerWidth + sign * amounts.outerWidth;
    next.outerHeight = next.outerHeight + sign * amounts.outerHeight;
    for (std::size_t n = 0; n < next.controls.size() && n < amounts.controls.size(); ++n) {
        TwRect &r = next.controls[n];
        const TwRect &d = amounts.controls[n];
        r.left = r.left + sign * d.left;
        r.top = r.top + sign * d.top;
        r.width = r.width + sign * d.width;
        r.height = r.height + sign * d.height;
    }
    return next;
}

void keepOnScreen(Limits &limits, double frameLeft, double frameTop, const TwRect &available)
{
    limits.maxOuterWidth = available.left + available.width - frameLeft;
    limits.maxOuterHeight = available.top + available.height - frameTop;
}

namespace {
bool fallsBelow(double now, double next, double minimum) { return next < now && next < minimum; }
bool growsPast(double now, double next, double maximum) { return next > now && next > maximum; }
} // namespace

bool allowed(const WindowState &current, const WindowState &next, const Limits &limits)
{
    if (fallsBelow(current.outerWidth, next.outerWidth, limits.minOuterWidth)
        || fallsBelow(current.outerHeight, next.outerHeight, limits.minOuterHeight)
        || growsPast(current.outerWidth, next.outerWidth, limits.maxOuterWidth)
        || growsPast(current.outerHeight, next.outerHeight, limits.maxOuterHeight))
        return false;
    for (std::size_t n = 0; n < current.controls.size() && n < next.controls.size(); ++n) {
        if (fallsBelow(current.controls[n].width, next.controls[n].width, limits.minPlayerWidth)
            || fallsBelow(current.controls[n].height, next.controls[n].height, limits.minPlayerHeight))
            return false;
    }
    return true;
}

} // namespace LayoutGeometry
