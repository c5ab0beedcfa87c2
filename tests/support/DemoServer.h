#pragma once
// The project's demo server (tools/kijkraam-demo-server) run for one test:
// on a free port of 127.0.0.1, serving the playlists, pages, live streams
// and the files of a media directory, with fault switches.
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

class DemoServer {
public:
    explicit DemoServer(const QStringList &extraArgs = {});
    ~DemoServer();

    bool isRunning() const { return !m_base.isEmpty(); }
    QString base() const { return m_base; } // http://127.0.0.1:PORT
    QString url(const QString &path) const { return m_base + path; }

    // Requests to paths starting with `prefix` misbehave: stall, drop, 404,
    // garbage, trickle; "ok" clears the fault.
    bool setFault(const QString &prefix, const QString &mode);
    // Request counts per path.
    QJsonObject stats();
    void resetStats();

    // Stop and start again on the same port (a server restart).
    void stop();
    bool restart();

    // Make a short Windows Media file (wmv2 video, wmav2 audio in ASF).
    static bool makeWmv(const QString &path, double seconds, const QString &size = QStringLiteral("320x240"),
                        const QString &source = QStringLiteral("testsrc"));

private:
    bool start(int port);
    QByteArray get(const QString &path);

    QProcess m_process;
    QStringList m_args;
    QString m_base;
    int m_port = 0;
};
