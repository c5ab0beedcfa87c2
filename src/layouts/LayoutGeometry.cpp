#include "layouts/LayoutGeometry.h"

namespace LayoutGeometry {

// Four players of 2775 x 2535 at a pitch of 2760: neighbours overlap by one
// pixel, and the client area is 15 wider than the row.
const LayoutDesign Row = {
    "Horizontaal",
    11070, 2535,
    240, 2685,
    {{0, 0, 2775, 2535}, {2760, 0, 2775, 2535}, {5520, 0, 2775, 2535}, {8280, 0, 2775, 2535}},
    2000, 500,
    true,
    {0, 500, 1000, 1500},
    500,
    "mnuVerticaal", "&Verticaal", "verticaal",
};

// The same players stacked at a pitch of 2520; the column fills the client area.
const LayoutDesign Column = {
    "verticaal",
    2775, 10095,
    6540, 735,
    {{0, 0, 2775, 2535}, {0, 2520, 2775, 2535}, {0, 5040, 2775, 2535}, {0, 7560, 2775, 2535}},
    500, 2000,
    false,
    {0, 500, 1000, 1500},
    500,
    "mnuHorizontaal", "&Horizontaal", "Horizontaal",
};

LayoutState designState(const LayoutDesign &layout, float nonClientWidth, float nonClientHeight)
{
    LayoutState s;
    s.outerWidth = layout.clientWidth + nonClientWidth;
    s.outerHeight = layout.clientHeight + nonClientHeight;
    for (int n = 0; n < 4; ++n)
        s.players[n] = layout.players[n];
    return s;
}

LayoutState step(const LayoutDesign &layout, const LayoutState &current, Step direction)
{
    const float sign = direction == Step::Enlarge ? 1.0f : -1.0f;
    LayoutState next = current;
    next.outerWidth = next.outerWidth + sign * layout.stepOuterWidth;
    next.outerHeight = next.outerHeight + sign * layout.stepOuterHeight;
    for (int n = 1; n < 4; ++n) {
        float &along = layout.stepMovesLeft ? next.players[n].left : next.players[n].top;
        along = along + sign * layout.stepOffset[n];
    }
    for (int n = 0; n < 4; ++n) {
        next.players[n].width = next.players[n].width + sign * layout.stepPlayerSize;
        next.players[n].height = next.players[n].height + sign * layout.stepPlayerSize;
    }
    return next;
}

namespace {
bool fallsBelow(float now, float next, float minimum) { return next < now && next < minimum; }
bool growsPast(float now, float next, float maximum) { return next > now && next > maximum; }
} // namespace

bool allowed(const LayoutState &current, const LayoutState &next, const Limits &limits)
{
    if (fallsBelow(current.outerWidth, next.outerWidth, limits.minOuterWidth)
        || fallsBelow(current.outerHeight, next.outerHeight, limits.minOuterHeight)
        || growsPast(current.outerWidth, next.outerWidth, limits.maxOuterWidth)
        || growsPast(current.outerHeight, next.outerHeight, limits.maxOuterHeight))
        return false;
    for (int n = 0; n < 4; ++n) {
        if (fallsBelow(current.players[n].width, next.players[n].width, limits.minPlayerWidth)
            || fallsBelow(current.players[n].height, next.players[n].height, limits.minPlayerHeight))
            return false;
    }
    return true;
}

} // namespace LayoutGeometry
