#pragma once
// The registry of the program's windows. Every window kind exists at most
// once and is addressed by its key (WindowKey.h); a loaded window carries
// its key's name as its objectName.
// The program runs while any window of the registry is loaded: when the
// last one goes, by whatever path (its close box, a command of its own, a
// switch that failed to show the next window), the registry ends the program.
#include "platform/Seam.h"
#include "platform/WindowKey.h"

#include <QString>
#include <QStringList>
#include <functional>

class Form;

namespace Forms {

using Factory = std::function<Form *()>;

void registerFactory(WindowKey key, Factory factory);

// The loaded window of that kind, or nullptr.
Form *find(WindowKey key);

// Create the window and run its load handler, unless it is loaded already.
Form *load(WindowKey key);

// Load, then show modeless without owner and bring to the front.
Form *show(WindowKey key);

// Close and destroy the window (its players and pages end with it). No-op
// when it is not loaded. Unloading the last window ends the program.
void unload(WindowKey key);

// End the program at once: every window goes without running handlers.
void endProgram();

// The loaded windows, and their names.
QList<WindowKey> loaded();
QStringList loadedNames();

// Destroy every window that is left or waits to be deleted, so that their
// players and pages end before the process does. main() calls it after the
// event loop has returned.
void destroyAll();

// What ending the program does once the windows are gone: quit the
// application's event loop, or what a test puts in its place (Seam.h).
using QuitHandler = std::function<void()>;
extern Seam<QuitHandler> quitSeam;

// Drop every factory and window without ending the program; for tests.
void reset();

} // namespace Forms
