#pragma once
#include <QString>

// The directory that holds the program. Whether its settings and snapshots
// live there too is decided by DataPlaces.
namespace ProgramDir {
QString path();

// Tests point the program at a temporary directory; an empty text restores
// the real program directory. Settings and snapshots then go into that
// directory, or, with `readOnly`, the directory counts as one the user
// cannot write and they go to the user's own places.
void overrideForTests(const QString &dir, bool readOnly = false);
bool overridden();
bool overriddenReadOnly();
}
