#pragma once
// Geometry of the one-row window "Horizontaal" and the one-column window
// "verticaal", free of any display: their design rectangles, the enlarge and
// shrink step, and the bounds that decide whether a step may be taken.
// Lengths are twips, held in single precision like the window's own values.

namespace LayoutGeometry {

struct TwRect {
    float left = 0, top = 0, width = 0, height = 0;
};

// Everything in which the row and the column window differ.
struct LayoutDesign {
    const char *name;                // window name, the registry key
    float clientWidth, clientHeight; // client area at design
    float startLeft, startTop;       // screen place of the client area's top-left corner
    TwRect players[4];               // design rectangles of WindowsMediaPlayer1..4
    // One enlarge step (a shrink step subtracts the same amounts):
    float stepOuterWidth, stepOuterHeight; // the window's outer size
    bool stepMovesLeft;                    // players 2..4 move along Left (row) or Top (column)
    float stepOffset[4];                   // how far player N moves (player 1 stays)
    float stepPlayerSize;                  // width and height of every player
    // The menu item that replaces this window by the other layout.
    const char *switchItem;
    const char *switchCaption;
    const char *switchTarget;
};

extern const LayoutDesign Row;    // "Horizontaal": slot 1 left .. slot 4 right
extern const LayoutDesign Column; // "verticaal": slot 1 top .. slot 4 bottom

// The current geometry of a layout window: outer size (frame and menu bar
// included) and the four players' rectangles in the client area.
struct LayoutState {
    float outerWidth = 0, outerHeight = 0;
    TwRect players[4];
};

// The state a freshly loaded window has, for a given frame + menu bar size.
LayoutState designState(const LayoutDesign &layout, float nonClientWidth, float nonClientHeight);

enum class Step { Enlarge = 1, Shrink = -1 };

// One step on the current values, in the window's fixed order: outer width,
// outer height, the moves of players 2, 3, 4, then width and height of
// players 1 to 4. A shrink is the exact inverse of an enlarge.
LayoutState step(const LayoutDesign &layout, const LayoutState &current, Step direction);

// The smallest player a step may leave: 1500 twips (100 pixels) each way, so
// the player's transport bar and a picture above it both stay visible.
constexpr float MinPlayerTw = 1500;

// Bounds of the window a step must keep. The window grows to the right and
// downwards from a fixed top-left corner, so the screen bound is a largest
// outer size: from the window's left/top edge to the available area's
// right/bottom edge.
struct Limits {
    float minPlayerWidth = MinPlayerTw, minPlayerHeight = MinPlayerTw;
    float minOuterWidth = 0, minOuterHeight = 0;
    float maxOuterWidth = 0, maxOuterHeight = 0;
};

// Whether going from `current` to `next` keeps the bounds. A length that
// moves below its minimum, or an outer size that grows past its maximum,
// refuses the whole step; a length that is already out of bounds but moves
// back towards them does not (a window larger than the screen can shrink).
bool allowed(const LayoutState &current, const LayoutState &next, const Limits &limits);

} // namespace LayoutGeometry
