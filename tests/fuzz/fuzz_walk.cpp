// libFuzzer sequence target for the walk through playlists: the input
// decides every answer a fake fetcher gives (failure, media, or a playlist
// of any kind naming further playlists, streams, itself or local files) and
// every outcome of an open (refused, played to its end, ended). Whatever
// the sequence, the walk ends; between two plays it fetches no more than
// its budget; and from a playlist on the network it never fetches or opens
// a local file.
#include "player/PlaylistSource.h"
#include "player/PlaylistWalker.h"

#include <QByteArray>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
// Reads the input a byte at a time; zeros once it is used up.
struct Input {
    const uint8_t *data;
    size_t size;
    size_t at = 0;
    bool spent() const { return at >= size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
};

[[noreturn]] void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(detail));
    std::abort();
}

// An address a playlist may name: mostly on the one fake host, so that
// loops and deep nesting come about.
QByteArray address(Input &in)
{
    const uint8_t b = in.byte();
    const QByteArray n = QByteArray::number(b % 8);
    switch (b / 8 % 10) {
    case 0:
        return "http://h/" + n + ".m3u";
    case 1:
        return "http://h/" + n + ".asx";
    case 2:
        return "http://h/" + n + ".pls";
    case 3:
        return "http://h/" + n + ".xspf";
    case 4:
        return "http://h/" + n;
    case 5:
        return n + ".m3u"; // relative
    case 6:
        return "mms://h/" + n;
    case 7:
        return "rtsp://h/" + n;
    case 8:
        return "file:///etc/" + n + ".m3u";
    default:
        return "/etc/" + n;
    }
}

// A playlist body of any kind, or the input's own bytes.
QByteArray body(Input &in)
{
    const uint8_t kind = in.byte() % 6;
    const int count = in.byte() % 6;
    QByteArray out;
    switch (kind) {
    case 0:
        out = "#EXTM3U\n";
        for (int i = 0; i < count; ++i)
            out += "#EXTINF:-1,x\n" + address(in) + "\n";
        return out;
    case 1:
        out = "[playlist]\n";
        for (int i = 0; i < count; ++i)
            out += "File" + QByteArray::number(in.byte() % 4) + "=" + address(in) + "\n";
        return out;
    case 2:
        out = "<playlist xmlns=\"http://xspf.org/ns/0/\"><trackList>";
        for (int i = 0; i < count; ++i)
            out += "<track><location>" + address(in) + "</location><location>" + address(in) + "</location></track>";
        return out + "</trackList></playlist>";
    case 3:
        out = "<asx>";
        for (int i = 0; i < count; ++i)
            out += in.byte() % 2
                       ? "<entryref href=\"" + address(in) + "\"/>"
                       : "<entry><ref href=\"" + address(in) + "\"/><ref href=\"" + address(in) + "\"/></entry>";
        return out + "</asx>";
    case 4:
        out = "[Reference]\n";
        for (int i = 0; i < count; ++i)
            out += "Ref" + QByteArray::number(i + 1) + "=" + address(in) + "\n";
        return out;
    default: {
        const size_t n = qMin<size_t>(in.byte(), in.size - qMin(in.at, in.size));
        out = QByteArray(reinterpret_cast<const char *>(in.data + in.at), qsizetype(n));
        in.at += n;
        return out;
    }
    }
}

bool isLocal(const QString &address)
{
    const QUrl url(address);
    return url.isLocalFile() || address.startsWith(QLatin1Char('/'))
           || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    PlaylistWalker walker;
    walker.start(QStringLiteral("  http://h/start.m3u "));
    int fetchesSincePlay = 0;
    int stepsAfterInput = 0;
    for (int step = 0;; ++step) {
        if (in.spent() && ++stepsAfterInput > 100000)
            fail("the walk does not end", QString::number(step));
        const PlaylistWalker::Step next = walker.next();
        if (next.kind == PlaylistWalker::Step::End)
            return 0;
        if (next.kind == PlaylistWalker::Step::Fetch) {
            if (isLocal(next.url.toString()))
                fail("fetches a local file", next.url.toString());
            if (++fetchesSincePlay > PlaylistWalker::MaxFetchesWithoutPlay)
                fail("fetches beyond its budget", next.url.toString());
            switch (in.byte() % 4) {
            case 0:
                walker.answered(FetchAnswer::failure(next.url, QStringLiteral("HTTP 404 Not Found")));
                break;
            case 1:
                walker.answered(FetchAnswer::media(next.url));
                break;
            default: {
                ServerAnswer::Answer said;
                said.status = 200;
                said.contentType = in.byte() % 2 ? "video/x-ms-asf" : "audio/x-mpegurl";
                walker.answered(FetchAnswer::fromBody(next.url, body(in), said));
                break;
            }
            }
            continue;
        }
        if (isLocal(next.address))
            fail("opens a local file", next.address);
        switch (in.byte() % 3) {
        case 0:
            walker.openFailed(QStringLiteral("refused"));
            break;
        case 1:
            walker.played();
            fetchesSincePlay = 0;
            walker.entryDone();
            break;
        default:
            walker.entryDone();
            break;
        }
    }
}
