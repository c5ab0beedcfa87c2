#pragma once
// What every process of the program (and its GUI tests) sets up before the
// QApplication exists, and right after.
namespace Application {
// Before QApplication: shared GL contexts where there is a GPU (players keep
// their video when they go full screen; the web engine composes through
// OpenGL there too) and a browser that works without a GPU and as root.
void prepare();
// After QApplication: icon, fonts, numeric locale for libmpv, window kinds,
// and the end of the program when its last window goes.
void init();
// The free fonts with the metrics of the Windows fonts the windows use.
void substituteFonts();
} // namespace Application
