// libFuzzer target for the playlist readers (ASX, [Reference], M3U, PLS,
// XSPF): any bytes, read as if they came from a web server (with or without
// a Windows Media content type) or from a local file, must neither crash nor
// trip a sanitizer, a playlist from the network must never point the player
// at a local file, and no playlist holds more than its limits allow.
#include "player/AsxPlaylist.h"
#include "player/PlaylistFormats.h"

#include <QByteArray>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
void check(const Asx::Playlist &list, bool fromNetwork, const char *what)
{
    if (list.items.size() > Asx::MaxItems) {
        std::fprintf(stderr, "%s: %lld items\n", what, qlonglong(list.items.size()));
        std::abort();
    }
    for (const Asx::Item &item : list.items) {
        QStringList addresses = item.refs;
        if (item.refs.size() > Asx::MaxRefsPerEntry)
            std::abort();
        if (item.kind == Asx::Item::EntryRef)
            addresses.append(item.href);
        for (const QString &address : addresses) {
            const QUrl url(address);
            if (fromNetwork
                && (url.isLocalFile() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0
                    || !Asx::isNetworkAddress(url))) {
                std::fprintf(stderr, "%s: a network playlist points at %s\n", what, qPrintable(address));
                std::abort();
            }
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)Asx::looksLikeAsx(bytes.left(1024));
    (void)Asx::looksLikeAsx(bytes);

    static const QUrl web(QStringLiteral("http://127.0.0.1:8325/kwa/KR5/KR1.asx"));
    static const QUrl webList(QStringLiteral("http://127.0.0.1:8325/tv/list.m3u"));
    static const QUrl local = QUrl::fromLocalFile(QStringLiteral("/tmp/lijst.asx"));
    check(Asx::parse(bytes, web), true, "ASX");
    (void)Asx::parse(bytes, local);
    check(Asx::parseReference(bytes, web, "video/x-ms-asf"), true, "[Reference]");
    check(Asx::parseReference(bytes, web), true, "[Reference]");
    (void)Asx::parseReference(bytes, local);
    check(Playlists::readM3u(bytes, webList), true, "M3U");
    check(Playlists::readPls(bytes, webList), true, "PLS");
    check(Playlists::readXspf(bytes, webList), true, "XSPF");
    check(Playlists::read(bytes, webList, "audio/x-mpegurl"), true, "any");
    (void)Playlists::read(bytes, QUrl::fromLocalFile(QStringLiteral("/tmp/lijst.m3u")));
    return 0;
}
