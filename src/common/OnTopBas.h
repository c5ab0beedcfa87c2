#pragma once
class QWidget;

// Put a window into the topmost band (above all ordinary windows) or take it
// out again, keeping its size and position, and show it without activating
// it. Nothing is reported; a null window is ignored.
void SetOnTop(QWidget *window, bool onTop);

class QAction;
// The "Always on Top" command of a window: with no mark, first set the mark,
// then put the window on top; with the mark, first take the window out of
// the topmost band, then clear the mark.
void ToggleOnTop(QAction *mark, QWidget *window);
