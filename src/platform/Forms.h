#pragma once
// The registry of the program's windows. Every window kind exists at most
// once and is addressed by its name ("Form1", "Stream2", "Opties", ...).
// The program runs while any window of the registry is loaded: when the
// last one goes, by whatever path (its close box, a command of its own, a
// switch that failed to show the next window), the registry ends the program.
#include <QString>
#include <QStringList>
#include <functional>

class Form;

namespace Forms {

using Factory = std::function<Form *()>;

void registerFactory(const QString &name, Factory factory);

// The loaded window of that name, or nullptr.
Form *find(const QString &name);

// Create the window and run its load handler, unless it is loaded already.
Form *load(const QString &name);

// Load, then show modeless without owner and bring to the front.
Form *show(const QString &name);

// Close and destroy the window (its players and pages end with it). No-op
// when it is not loaded. Unloading the last window ends the program.
void unload(const QString &name);

// End the program at once: every window goes without running handlers.
void endProgram();

// Names of the loaded windows.
QStringList loadedNames();

// Destroy every window that is left or waits to be deleted, so that their
// players and pages end before the process does. main() calls it after the
// event loop has returned.
void destroyAll();

// What ending the program does once the windows are gone (by default: quit
// the application's event loop). Tests replace it and put back what
// quitHandler() returned before.
using QuitHandler = std::function<void()>;
void setQuitHandler(QuitHandler handler);
QuitHandler quitHandler();

// Drop every factory and window without ending the program; for tests.
void reset();

} // namespace Forms
