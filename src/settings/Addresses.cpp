#include "settings/Addresses.h"

namespace {
QString g_serverOverride;
}

namespace Addresses {

const QString Auto = QStringLiteral("Auto");

QString server() { return g_serverOverride.isEmpty() ? QStringLiteral(KIJKRAAM_SERVER) : g_serverOverride; }

void overrideServerForTests(const QString &base) { g_serverOverride = base; }

QString builtInAddress(int slot)
{
    return server() + QStringLiteral("/kwa/KR5/KR%1.asx").arg(slot);
}

QString resolve(int slot, const QString &stored)
{
    return stored == Auto ? builtInAddress(slot) : stored;
}

QString sectionOf(int slot) { return QStringLiteral("Stream%1").arg(slot); }

QString counterPage() { return server() + QStringLiteral("/kwa/KR5/count.php"); }
QString tickerPage() { return server() + QStringLiteral("/kwa/KR5/Daz_ticker.php"); }

} // namespace Addresses
