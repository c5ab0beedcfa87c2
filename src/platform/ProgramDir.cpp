#include "platform/ProgramDir.h"
#include <QCoreApplication>

namespace ProgramDir {
Seam<StandIn> seam;

QString path() { return seam.get().dir.isEmpty() ? QCoreApplication::applicationDirPath() : seam.get().dir; }
bool overridden() { return !seam.get().dir.isEmpty(); }
bool overriddenReadOnly() { return seam.get().readOnly && overridden(); }
} // namespace ProgramDir
