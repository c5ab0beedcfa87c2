#pragma once
#include "platform/Seam.h"

#include <QString>

// The directory that holds the program. Whether its settings and snapshots
// live there too is decided by DataPlaces.
namespace ProgramDir {
QString path();

// What tests point the program at (Seam.h): a temporary directory instead
// of the real program directory (an empty `dir`). Settings and snapshots
// then go into that directory, or, with `readOnly`, the directory counts as
// one the user cannot write and they go to the user's own places.
struct StandIn {
    QString dir;
    bool readOnly = false;
};
extern Seam<StandIn> seam;
bool overridden();
bool overriddenReadOnly();
} // namespace ProgramDir
