#include "player/ServerAnswer.h"

#include "player/AsxPlaylist.h"

namespace ServerAnswer {

namespace {

// "Video/X-MS-ASF; charset=x" -> "video/x-ms-asf"
QByteArray mediaType(const QByteArray &contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    return (semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed().toLower();
}

bool isFramedStreamType(const QByteArray &contentType)
{
    const QByteArray type = mediaType(contentType);
    return type == "application/vnd.ms.wms-hdr.asfv1" || type == "application/x-mms-framed";
}

} // namespace

bool isWindowsMediaType(const QByteArray &contentType)
{
    const QByteArray type = mediaType(contentType);
    return isFramedStreamType(type) || type == "video/x-ms-asf" || type == "video/x-ms-wmv" || type == "audio/x-ms-wma"
           || type == "audio/x-ms-wax";
}

bool isWindowsMediaServer(const QByteArray &server, const QByteArray &pragma)
{
    const QByteArray name = server.toLower();
    return (name.contains("cougar") || name.contains("wmserver")) && pragma.toLower().contains("features=");
}

Kind classify(const Answer &answer)
{
    if (answer.status < 200 || answer.status > 299)
        return Kind::Failed;
    if (answer.head.startsWith("$H"))
        return Kind::WindowsMediaStream;
    switch (Asx::formatOf(answer.head)) {
    case Asx::Format::Asx:
        return Kind::AsxPlaylist;
    case Asx::Format::Reference:
        return Kind::ReferenceFile;
    case Asx::Format::None:
        break;
    }
    if (isFramedStreamType(answer.contentType) || isWindowsMediaServer(answer.server, answer.pragma))
        return Kind::WindowsMediaStream;
    return Kind::OtherMedia;
}

QUrl mmshAddress(const QUrl &url)
{
    if (!url.isValid() || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 || url.host().isEmpty())
        return QUrl();
    QUrl mmsh = url;
    mmsh.setScheme(QStringLiteral("mmsh"));
    mmsh.setFragment(QString());
    return mmsh;
}

RawHead rawHead(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return RawHead::Nothing;
    if (!bytes.contains("\r\n\r\n") && !bytes.contains("\n\n"))
        return RawHead::HeadersWithoutEnd;
    // "ICY 200 OK": SHOUTcast's own status line; its headers follow as in HTTP.
    const QList<QByteArray> words = bytes.left(bytes.indexOf('\n')).trimmed().split(' ');
    if (words.size() >= 2 && words.at(0).toUpper() == "ICY" && words.at(1) == "200")
        return RawHead::Icy;
    return RawHead::Other;
}

} // namespace ServerAnswer
