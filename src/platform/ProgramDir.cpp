#include "platform/ProgramDir.h"
#include <QCoreApplication>

namespace {
QString g_override;
}

namespace ProgramDir {
QString path()
{
    return g_override.isEmpty() ? QCoreApplication::applicationDirPath() : g_override;
}
void overrideForTests(const QString &dir) { g_override = dir; }
}
