#pragma once
// The size steps of the windows that grow and shrink by fixed amounts (the
// one-row window "Horizontaal", the one-column window "verticaal" and the
// stream windows "Stream1".."Stream4"), free of any display: what a step
// adds, and the bounds that decide whether a step may be taken. Lengths are
// twips, in double like the windows' own (platform/Twips.h, TwipGeometry.h).
#include "platform/WindowKey.h"

#include <vector>

namespace LayoutGeometry {

struct TwRect {
    double left = 0, top = 0, width = 0, height = 0;
};

// What a step works on: the window's outer size (frame and menu bar
// included) and the rectangles of the controls it moves or resizes.
struct WindowState {
    double outerWidth = 0, outerHeight = 0;
    std::vector<TwRect> controls;
};

// What one enlarge step adds; a shrink step subtracts the same amounts.
struct StepAmounts {
    double outerWidth = 0, outerHeight = 0;
    std::vector<TwRect> controls; // added to each control's Left, Top, Width, Height
};

enum class Step { Enlarge = 1, Shrink = -1 };

// One step on the current values (not on a remembered count): each value
// read as it is, changed by its amount. A shrink is the exact inverse of an
// enlarge.
WindowState step(const StepAmounts &amounts, const WindowState &current, Step direction);

// Everything in which the row and the column window differ.
struct LayoutDesign {
    WindowKey key;                    // the window's key in the registry
    double clientWidth, clientHeight; // client area at design
    double startLeft, startTop;       // screen place of the client area's top-left corner
    TwRect players[4];                // design rectangles of WindowsMediaPlayer1..4
    // One enlarge step: the window, the moves of players 2..4 along the row
    // or column, and 500 more width and height for every player.
    StepAmounts step;
    // The menu item that replaces this window by the other layout.
    const char *switchItem;
    const char *switchCaption;
    WindowKey switchTarget;
};

extern const LayoutDesign Row;    // "Horizontaal": slot 1 left .. slot 4 right
extern const LayoutDesign Column; // "verticaal": slot 1 top .. slot 4 bottom

// The state a freshly loaded layout window has, for a given frame + menu bar size.
WindowState designState(const LayoutDesign &layout, double nonClientWidth, double nonClientHeight);

// A stream window's step: the window's outer size, its player's width and
// height, and the Left and Top of its snapshot button (which so keeps its
// place at the player's lower-right corner), each by 500.
extern const StepAmounts StreamStep;

// The smallest player a layout step may leave: 1500 twips (100 pixels) each
// way, so the player's transport bar and a picture above it both stay visible.
constexpr double MinPlayerTw = 1500;

// Bounds a step must keep. The minimum applies to every control whose size
// a step changes. The window grows to the right and downwards from a fixed
// top-left corner, so the screen bound is a largest outer size: from the
// window's left/top edge to the available area's right/bottom edge.
struct Limits {
    double minPlayerWidth = MinPlayerTw, minPlayerHeight = MinPlayerTw;
    double minOuterWidth = 0, minOuterHeight = 0;
    double maxOuterWidth = 0, maxOuterHeight = 0;
};

// The largest outer size for a window whose frame's top-left corner stands
// at (frameLeft, frameTop), on a screen whose available area is `available`
// (all in twips), put into `limits`.
void keepOnScreen(Limits &limits, double frameLeft, double frameTop, const TwRect &available);

// Whether going from `current` to `next` keeps the bounds. A length that
// moves below its minimum, or an outer size that grows past its maximum,
// refuses the whole step; a length that is already out of bounds but moves
// back towards them does not (a window larger than the screen can shrink).
bool allowed(const WindowState &current, const WindowState &next, const Limits &limits);

} // namespace LayoutGeometry
