#include "stream/SnapshotNames.h"

#include <QDir>

namespace SnapshotNames {

QString prefix(int slot) { return QStringLiteral("SnapshotStream%1_").arg(slot); }

QString stamp(const QDateTime &localTime)
{
    const QDate d = localTime.date();
    const QTime t = localTime.time();
    auto two = [](int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    // Built from the numbers, not from a locale's date format.
    return two(d.day()) + QLatin1Char('-') + two(d.month()) + QLatin1Char('-') + two(d.year() % 100) + QLatin1Char('_')
           + two(t.hour()) + two(t.minute()) + two(t.second());
}

QString fileName(int slot, const QDateTime &localTime, int copy)
{
    QString name = prefix(slot) + stamp(localTime);
    if (copy > 1)
        name += QStringLiteral("_%1").arg(copy);
    return name + QStringLiteral(".bmp");
}

QString path(const QString &dir, int slot, const QDateTime &localTime, int copy)
{
    return dir + QDir::separator() + fileName(slot, localTime, copy);
}

} // namespace SnapshotNames
