// libFuzzer target for the ASX playlist reader: any bytes, read as if they
// came from a web server or from a local file, must neither crash nor trip
// a sanitizer, and a playlist from the network must never point the player
// at a local file.
#include "player/AsxPlaylist.h"

#include <QByteArray>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)Asx::looksLikeAsx(bytes.left(1024));
    (void)Asx::looksLikeAsx(bytes);

    static const QUrl web(QStringLiteral("http://127.0.0.1:8325/kwa/KR5/KR1.asx"));
    static const QUrl local = QUrl::fromLocalFile(QStringLiteral("/tmp/lijst.asx"));
    const Asx::Playlist fromWeb = Asx::parse(bytes, web);
    (void)Asx::parse(bytes, local);

    for (const Asx::Item &item : fromWeb.items) {
        QStringList addresses = item.refs;
        if (item.kind == Asx::Item::EntryRef)
            addresses.append(item.href);
        for (const QString &address : addresses) {
            const QUrl url(address);
            if (url.isLocalFile() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0) {
                std::fprintf(stderr, "a network playlist points at a local file: %s\n", qPrintable(address));
                std::abort();
            }
        }
    }
    return 0;
}
