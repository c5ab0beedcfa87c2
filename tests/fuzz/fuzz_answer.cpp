// libFuzzer target for what the player reads from a server and an address
// before the decoder gets it: the server-answer classifier (status, headers
// and first bytes), a raw head the HTTP client could not read, the mmsh://
// form of an address and the RTSP transports to try. No crash, no sanitizer
// report, and the rules' promises hold: an mmsh:// address keeps its host,
// port, path and query; the first RTSP try is the address itself.
#include "player/RtspTransport.h"
#include "player/ServerAnswer.h"

#include <QByteArray>
#include <QUrl>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // Fields separated by newlines: status, content type, server, pragma, then the body.
    const QList<QByteArray> fields = bytes.split('\n');
    ServerAnswer::Answer answer;
    answer.status = fields.value(0).toInt();
    answer.contentType = fields.value(1);
    answer.server = fields.value(2);
    answer.pragma = fields.value(3);
    answer.head = bytes.mid(qMin<qsizetype>(bytes.size(), fields.value(0).size() + fields.value(1).size()
                                                              + fields.value(2).size() + fields.value(3).size() + 4));
    const ServerAnswer::Kind kind = ServerAnswer::classify(answer);
    if (kind != ServerAnswer::Kind::Failed && (answer.status < 200 || answer.status > 299))
        std::abort();
    (void)ServerAnswer::isWindowsMediaType(answer.contentType);
    (void)ServerAnswer::rawHead(bytes);

    const QString text = QString::fromUtf8(bytes.left(4096));
    for (const QUrl &url : {QUrl(text), QUrl(text, QUrl::StrictMode), QUrl(QStringLiteral("http://") + text)}) {
        const QUrl mmsh = ServerAnswer::mmshAddress(url);
        if (!mmsh.isEmpty()
            && (mmsh.scheme() != QLatin1String("mmsh") || mmsh.host() != url.host() || mmsh.port() != url.port()
                || mmsh.path() != url.path() || mmsh.query() != url.query()))
            std::abort();
    }
    const QStringList tries = RtspTransport::tries(text);
    if (tries.isEmpty() || tries.first() != text)
        std::abort();
    for (const QString &address : tries)
        (void)RtspTransport::forDecoder(address);
    return 0;
}
