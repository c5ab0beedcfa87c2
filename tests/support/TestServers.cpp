#include "TestServers.h"

#include "DemoServer.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QUrl>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

QString python()
{
    // Debian's interpreter sees Debian's Python packages (gi for RTSP).
    const QString debian = QStringLiteral("/usr/bin/python3");
    return QFileInfo::exists(debian) ? debian : QStringLiteral("python3");
}

const QString Size = QStringLiteral("320x240");

} // namespace

struct TestServers::Running {
    QProcess process;
    QString address; // what the server printed after LISTENING
    QUrl base;       // scheme, host and port of it
    QString media;   // HlsOverHttps: the media host ("MEDIA <address>")
    QByteArray log;  // its standard error so far
};

TestServers::TestServers() = default;

TestServers::~TestServers() { stopAll(); }

QString TestServers::name(Kind kind)
{
    switch (kind) {
    case MpegTsOverHttp:
        return QStringLiteral("MPEG-TS over HTTP");
    case Mp3OverHttp:
        return QStringLiteral("MP3 over HTTP");
    case AacOverHttp:
        return QStringLiteral("AAC over HTTP");
    case Rtsp:
        return QStringLiteral("RTSP");
    case RtspUdpOnly:
        return QStringLiteral("RTSP, UDP only");
    case RtspTcpOnly:
        return QStringLiteral("RTSP, TCP only");
    case ProgressiveWmv:
        return QStringLiteral("WMV file over HTTP");
    case WindowsMediaStream:
        return QStringLiteral("Windows Media stream");
    case Mp3WithTitles:
        return QStringLiteral("MP3 radio with titles");
    case MpegTsBasicAuth:
        return QStringLiteral("MPEG-TS, Basic authentication");
    case MpegTsDigestAuth:
        return QStringLiteral("MPEG-TS, Digest authentication");
    case RtspWithPassword:
        return QStringLiteral("RTSP with a password");
    case HlsOverHttps:
        return QStringLiteral("HLS over HTTPS");
    case HlsVariants:
        return QStringLiteral("HLS master of three variants");
    case LiveDash:
        return QStringLiteral("live MPEG-DASH");
    case VideoPage:
        return QStringLiteral("web page with a video");
    case HostileHls:
        return QStringLiteral("hostile HLS server");
    }
    return QString();
}

bool TestServers::isRunning(Kind kind) const
{
    const auto it = m_running.find(kind);
    return it != m_running.end() && it->second->process.state() == QProcess::Running;
}

QByteArray TestServers::log(Kind kind)
{
    const auto it = m_running.find(kind);
    if (it == m_running.end())
        return {};
    it->second->log += it->second->process.readAllStandardError();
    return it->second->log;
}

QString TestServers::start(Kind kind, int port)
{
    if (isRunning(kind))
        return addresses(kind).value(0);
    stop(kind);

    const QString streamServer = QStringLiteral(KIJKRAAM_SOURCE_DIR "/tests/support/servers/stream-server");
    const QString demoServer = QStringLiteral(KIJKRAAM_SOURCE_DIR "/tools/kijkraam-demo-server");
    QStringList args;
    switch (kind) {
    case MpegTsOverHttp:
    case Mp3OverHttp:
    case AacOverHttp:
    case Rtsp:
    case RtspUdpOnly:
    case RtspTcpOnly: {
        static const char *const kinds[] = {"mpegts", "mp3", "aac", "rtsp"};
        args = QStringList{streamServer,
                           QString::fromLatin1(kinds[qMin<int>(kind, Rtsp)]),
                           QStringLiteral("--port"),
                           QString::number(port),
                           QStringLiteral("--size"),
                           Size};
        if (kind == RtspUdpOnly || kind == RtspTcpOnly)
            args << QStringLiteral("--transports") << QString::fromLatin1(kind == RtspUdpOnly ? "udp" : "tcp");
        break;
    }
    case Mp3WithTitles:
    case MpegTsBasicAuth:
    case MpegTsDigestAuth:
    case RtspWithPassword:
        args = QStringList{streamServer,
                           QLatin1String(kind == Mp3WithTitles      ? "mp3"
                                         : kind == RtspWithPassword ? "rtsp"
                                                                    : "mpegts"),
                           QStringLiteral("--port"),
                           QString::number(port),
                           QStringLiteral("--size"),
                           Size};
        if (kind == Mp3WithTitles)
            args << QStringLiteral("--titles") << QStringLiteral("3");
        else
            args << QStringLiteral("--auth") << QLatin1String(kind == MpegTsDigestAuth ? "digest" : "basic");
        break;
    case ProgressiveWmv: {
        const QString clip = m_media.filePath(QStringLiteral("clip.wmv"));
        if (!QFileInfo::exists(clip) && !DemoServer::makeWmv(clip, 120, Size)) {
            qWarning("TestServers: could not make %s", qPrintable(clip));
            return QString();
        }
        args = QStringList{demoServer,
                           QStringLiteral("--port"),
                           QString::number(port),
                           QStringLiteral("--no-live"),
                           QStringLiteral("--media"),
                           m_media.path(),
                           QStringLiteral("--asx-target"),
                           QStringLiteral("1=media/clip.wmv")};
        break;
    }
    case HlsVariants:
    case LiveDash:
    case VideoPage:
    case HostileHls: {
        static const char *const kinds[] = {"hls-variants", "dash", "page", "hostile"};
        args = QStringList{streamServer, QString::fromLatin1(kinds[kind - HlsVariants]), QStringLiteral("--port"),
                           QString::number(port)};
        break;
    }
    case WindowsMediaStream:
        args = QStringList{demoServer,
                           QStringLiteral("--port"),
                           QString::number(port),
                           QStringLiteral("--slots"),
                           QStringLiteral("4"),
                           QStringLiteral("--wm-slot"),
                           QStringLiteral("4"),
                           QStringLiteral("--size"),
                           Size};
        break;
    case HlsOverHttps:
        if (m_tls.size() != 4) {
            qWarning("TestServers: HLS over HTTPS needs setTls()");
            return QString();
        }
        args = QStringList{streamServer,
                           QStringLiteral("https"),
                           QStringLiteral("--port"),
                           QString::number(port),
                           QStringLiteral("--size"),
                           Size,
                           QStringLiteral("--cert"),
                           m_tls[0],
                           QStringLiteral("--key"),
                           m_tls[1],
                           QStringLiteral("--media-cert"),
                           m_tls[2],
                           QStringLiteral("--media-key"),
                           m_tls[3]};
        break;
    }

    auto running = std::make_unique<Running>();
    QProcess &process = running->process;
    process.setProgram(python());
    process.setArguments(args);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setReadChannel(QProcess::StandardOutput);
    // A process group of its own, so that stop() reaches every child.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start();
    if (!process.waitForStarted(5000)) {
        qWarning("TestServers: %s did not start: %s", qPrintable(name(kind)), qPrintable(process.errorString()));
        return QString();
    }
    m_running[kind] = std::move(running);
    Running &r = *m_running[kind];

    QDeadlineTimer deadline(30000);
    while (r.address.isEmpty() && !deadline.hasExpired() && process.state() == QProcess::Running) {
        if (!process.canReadLine() && !process.waitForReadyRead(200))
            continue;
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            if (line.startsWith("LISTENING "))
                r.address = QString::fromUtf8(line.mid(10));
            else if (line.startsWith("MEDIA "))
                r.media = QString::fromUtf8(line.mid(6));
        }
    }
    r.base = QUrl(r.address).adjusted(QUrl::RemovePath | QUrl::RemoveQuery);
    // The port takes connections: the server is ready for a player.
    QTcpSocket probe;
    if (r.base.port() > 0) {
        probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(r.base.port()));
        probe.waitForConnected(5000);
    }
    if (probe.state() != QAbstractSocket::ConnectedState) {
        qWarning("TestServers: %s did not come up: %s", qPrintable(name(kind)),
                 process.readAllStandardError().constData());
        stop(kind);
        return QString();
    }
    probe.abort();
    return addresses(kind).value(0);
}

QStringList TestServers::addresses(Kind kind) const
{
    const auto it = m_running.find(kind);
    if (it == m_running.end() || it->second->address.isEmpty())
        return {};
    const Running &r = *it->second;
    const QString hostPort = QStringLiteral("127.0.0.1:%1").arg(r.base.port());
    const QString http = QStringLiteral("http://") + hostPort;
    switch (kind) {
    case MpegTsOverHttp: {
        QStringList list{r.address};
        for (const char *path : {"/list.m3u", "/list.pls", "/list.xspf", "/reference", "/endless-headers", "/big-404"})
            list << http + QLatin1String(path);
        return list;
    }
    case Mp3OverHttp:
        return {r.address, http + QStringLiteral("/shoutcast")};
    case AacOverHttp:
    case Rtsp:
    case RtspUdpOnly:
    case RtspTcpOnly:
    case Mp3WithTitles:
        return {r.address};
    case MpegTsBasicAuth:
    case MpegTsDigestAuth:
    case RtspWithPassword: {
        const QString scheme = kind == RtspWithPassword ? QStringLiteral("rtsp://") : QStringLiteral("http://");
        const QString rest = r.address.mid(scheme.size());
        return {scheme + QStringLiteral("kijker:") + QLatin1String(Password) + u'@' + rest,
                scheme + QStringLiteral("kijker:fout@") + rest};
    }
    case LiveDash:
    case VideoPage:
        return {r.address};
    case HlsVariants:
        return {r.address, http + QStringLiteral("/master-nores.m3u8")};
    case HostileHls:
        return {r.address, http + QStringLiteral("/fifty.m3u8"), http + QStringLiteral("/million.m3u8"),
                http + QStringLiteral("/big404seg.m3u8")};
    case ProgressiveWmv:
        return {http + QStringLiteral("/media/clip.wmv"), http + QStringLiteral("/kwa/KR5/KR1.asx")};
    case WindowsMediaStream:
        return {QStringLiteral("mms://") + hostPort + QStringLiteral("/wm/live"),
                QStringLiteral("mmsh://") + hostPort + QStringLiteral("/wm/live"), http + QStringLiteral("/wm/live"),
                http + QStringLiteral("/kwa/KR5/KR4.asx")};
    case HlsOverHttps:
        return {r.address, r.media + QStringLiteral("/live.m3u8"),
                QString(r.address).replace(QLatin1String("/live.m3u8"), QLatin1String("/master.m3u8"))};
    }
    return {};
}

void TestServers::stop(Kind kind)
{
    const auto it = m_running.find(kind);
    if (it == m_running.end())
        return;
    QProcess &process = it->second->process;
    const qint64 pid = process.processId();
    if (pid > 0 && process.state() != QProcess::NotRunning) {
        ::kill(-pid_t(pid), SIGTERM);
        if (!process.waitForFinished(5000)) {
            ::kill(-pid_t(pid), SIGKILL);
            process.waitForFinished(3000);
        }
    }
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL); // whatever the group left behind
    m_running.erase(it);
}

void TestServers::stopAll()
{
    while (!m_running.empty())
        stop(m_running.begin()->first);
}
