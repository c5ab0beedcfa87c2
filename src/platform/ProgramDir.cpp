#include "platform/ProgramDir.h"
#include <QCoreApplication>

namespace {
QString g_override;
bool g_readOnly = false;
}

namespace ProgramDir {
QString path()
{
    return g_override.isEmpty() ? QCoreApplication::applicationDirPath() : g_override;
}
void overrideForTests(const QString &dir, bool readOnly)
{
    g_override = dir;
    g_readOnly = readOnly && !dir.isEmpty();
}
bool overridden() { return !g_override.isEmpty(); }
bool overriddenReadOnly() { return g_readOnly; }
}
