#include "DemoServer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>

DemoServer::DemoServer(const QStringList &extraArgs) : m_args(extraArgs) { start(0); }

DemoServer::~DemoServer() { stop(); }

bool DemoServer::start(int port)
{
    m_process.setProgram(QStringLiteral("python3"));
    m_process.setArguments(QStringList{QStringLiteral(KIJKRAAM_SOURCE_DIR "/tools/kijkraam-demo-server"),
                                       QStringLiteral("--port"), QString::number(port)}
                           + m_args);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setReadChannel(QProcess::StandardOutput);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!deadline.hasExpired()) {
        if (m_process.canReadLine() || m_process.waitForReadyRead(200)) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                if (line.startsWith("LISTENING ")) {
                    m_base = QString::fromUtf8(line.mid(10));
                    m_port = m_base.section(QLatin1Char(':'), -1).toInt();
                    return true;
                }
            }
        }
        if (m_process.state() == QProcess::NotRunning)
            break;
    }
    qWarning("demo server did not start: %s", m_process.readAllStandardError().constData());
    return false;
}

void DemoServer::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    m_base.clear();
}

bool DemoServer::restart()
{
    const int port = m_port;
    stop();
    // The port may linger for a moment after the old server closed it.
    for (int i = 0; i < 20; ++i) {
        if (start(port))
            return true;
        QThread::msleep(250);
    }
    return false;
}

QByteArray DemoServer::get(const QString &path)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(m_base + path));
    request.setTransferTimeout(5000);
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

bool DemoServer::setFault(const QString &prefix, const QString &mode)
{
    const QByteArray reply = get(
        QStringLiteral("/control/fault?path=%1&mode=%2").arg(QString::fromUtf8(QUrl::toPercentEncoding(prefix)), mode));
    return !reply.isEmpty();
}

void DemoServer::resetStats() { get(QStringLiteral("/control/reset?stats=1")); }

QJsonObject DemoServer::stats() { return QJsonDocument::fromJson(get(QStringLiteral("/stats"))).object(); }

bool DemoServer::makeWmv(const QString &path, double seconds, const QString &size, const QString &source)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-nostdin"),
                                            QStringLiteral("-loglevel"),
                                            QStringLiteral("error"),
                                            QStringLiteral("-y"),
                                            QStringLiteral("-f"),
                                            QStringLiteral("lavfi"),
                                            QStringLiteral("-i"),
                                            QStringLiteral("%1=size=%2:rate=25").arg(source, size),
                                            QStringLiteral("-f"),
                                            QStringLiteral("lavfi"),
                                            QStringLiteral("-i"),
                                            QStringLiteral("sine=frequency=440:sample_rate=44100"),
                                            QStringLiteral("-t"),
                                            QString::number(seconds),
                                            QStringLiteral("-c:v"),
                                            QStringLiteral("wmv2"),
                                            QStringLiteral("-b:v"),
                                            QStringLiteral("600k"),
                                            QStringLiteral("-c:a"),
                                            QStringLiteral("wmav2"),
                                            QStringLiteral("-b:a"),
                                            QStringLiteral("64k"),
                                            QStringLiteral("-f"),
                                            QStringLiteral("asf"),
                                            path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}
