#include "settings/Addresses.h"

namespace Addresses {

Seam<QString> serverSeam;

const QString Auto = QStringLiteral("Auto");

QString server() { return serverSeam.get().isEmpty() ? QStringLiteral(KIJKRAAM_SERVER) : serverSeam.get(); }

QString builtInAddress(int slot) { return server() + QStringLiteral("/kwa/KR5/KR%1.asx").arg(slot); }

QString resolve(int slot, const QString &stored) { return stored == Auto ? builtInAddress(slot) : stored; }

QString sectionOf(int slot) { return QStringLiteral("Stream%1").arg(slot); }

QString counterPage() { return server() + QStringLiteral("/kwa/KR5/count.php"); }
QString tickerPage() { return server() + QStringLiteral("/kwa/KR5/Daz_ticker.php"); }

} // namespace Addresses
