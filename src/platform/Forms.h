#pragma once
// The registry of the program's windows. Every window kind exists at most
// once and is addressed by its name ("Form1", "Stream2", "Opties", ...).
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
// when it is not loaded.
void unload(const QString &name);

// End the program at once: every window goes without running handlers.
void endProgram();

// Names of the loaded windows.
QStringList loadedNames();

// What endProgram() does after closing the windows (default: quit the
// application's event loop). Tests replace it.
void setQuitHandler(std::function<void()> handler);

// Drop every factory and window; for tests.
void reset();

} // namespace Forms
