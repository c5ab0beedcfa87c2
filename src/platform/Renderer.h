#pragma once
// How the program draws, decided once for the run: video and pages through
// OpenGL where a GPU is behind it, else in software. The players
// (MpvBackend), the browser (WebBrowser, WebViewModule) and the start-up
// (Application::prepare) all ask here.

#include "platform/Seam.h"

namespace Renderer {

// Automatic picks software where OpenGL itself has no GPU behind it,
// and without asking OpenGL where there is no GPU at all.
enum class Kind { Automatic, OpenGL, Software };
// Seam: a test forces one way for the players made next (Automatic, the
// program's own value: decide as above).
extern Seam<Kind> seam;
// OpenGL or Software: the forced way, else the one decided.
Kind effective();

// Whether the machine has a GPU for OpenGL to use (a DRI render node);
// known without loading any OpenGL driver.
bool gpuPresent();

// Before the application object is made: with a GPU, video and pages are
// composed through OpenGL, and players that go full screen keep their
// video through contexts shared across windows. Without one, everything is
// drawn in software: sharing would only make Qt create an OpenGL context at
// start, and load the software OpenGL driver for it.
void prepareApplication();

// Before the browser engine starts: Qt WebEngine expects the application's
// shared OpenGL context, which Qt makes at start when contexts are shared:
// the engine reads its format and picks its GL configuration from it as it
// starts. Without a GPU no context is shared (prepareApplication), so that
// a run without pages loads no OpenGL driver; this makes that context now.
void makeSharedContext();

} // namespace Renderer
