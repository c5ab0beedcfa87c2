#pragma once
#include <QString>

// The directory that holds the program (and its ini.ini and snapshots).
namespace ProgramDir {
QString path();
// Tests point the program at a temporary directory; an empty text restores
// the real program directory.
void overrideForTests(const QString &dir);
}
