#pragma once
class QWidget;

// Put a window into the topmost band (above all ordinary windows) or take it
// out again, keeping its size and position, and show it without activating
// it. Nothing is reported; a null window is ignored.
void SetOnTop(QWidget *window, bool onTop);
