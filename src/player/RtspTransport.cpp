#include "player/RtspTransport.h"

#include <QUrl>

namespace RtspTransport {

namespace {
// The scheme of an address in lower case, and the rest from "://" on.
bool split(const QString &address, QString &scheme, QString &rest)
{
    const QString trimmed = address.trimmed();
    const qsizetype colon = trimmed.indexOf(QLatin1String("://"));
    if (colon <= 0)
        return false;
    scheme = trimmed.left(colon).toLower();
    rest = trimmed.mid(colon);
    return true;
}
} // namespace

QStringList tries(const QString &address)
{
    QString scheme, rest;
    if (split(address, scheme, rest) && scheme == QLatin1String("rtsp") && !QUrl(address).host().isEmpty())
        return {address, QStringLiteral("rtspu") + rest};
    return {address};
}

DecoderOpen forDecoder(const QString &address)
{
    QString scheme, rest;
    if (!split(address, scheme, rest))
        return {address, {}};
    if (scheme == QLatin1String("rtsp") || scheme == QLatin1String("rtspt"))
        return {QStringLiteral("rtsp") + rest, QByteArrayLiteral("tcp")};
    if (scheme == QLatin1String("rtspu"))
        return {QStringLiteral("rtsp") + rest, QByteArrayLiteral("udp")};
    return {address, {}};
}

} // namespace RtspTransport
