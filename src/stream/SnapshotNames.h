#pragma once
// Names of the snapshot bitmaps that a stream window writes by itself:
// program directory, separator, "SnapshotStream<slot>_", the local time as
// "dd-mm-yy_hhmmss", ".bmp". No display is needed for any of this.
#include <QDateTime>
#include <QString>

namespace SnapshotNames {

// "SnapshotStream1_" .. "SnapshotStream4_".
QString prefix(int slot);

// "dd-mm-yy_hhmmss": day, month, last two digits of the year, hour 00-23,
// minutes, seconds, each with two digits.
QString stamp(const QDateTime &localTime);

// The file name without directory. `copy` 1 is the plain name; 2, 3, ...
// add "_2", "_3", ... before ".bmp" for a name that is taken already.
QString fileName(int slot, const QDateTime &localTime, int copy = 1);

// The full path: the directory, the native separator (always inserted, so a
// directory at the root of the file system gives two in a row), the name.
QString path(const QString &dir, int slot, const QDateTime &localTime, int copy = 1);

} // namespace SnapshotNames
