#include "player/CertificateStore.h"
#include "platform/DataPlaces.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTimer>

#include <memory>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcCert, "kijkraam.certificates", QtWarningMsg)

namespace CertificateStore {

namespace {
QString g_builtFrom; // what the bundle on disk was last made from
constexpr int ProbeTimeoutMs = 10000;
const char *const RefusedProperty = "kijkraamRefusedHost";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString stampOf(const QString &path)
{
    const QFileInfo info(path);
    return info.exists()
               ? QStringLiteral("%1|%2|%3;").arg(path).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch())
               : QStringLiteral("%1|none;").arg(path);
}

// Written in full or not at all, readable by the user alone.
bool writePrivate(const QString &path, const QByteArray &data, QString *error)
{
    DataPlaces::Place place = DataPlaces::settings();
    DataPlaces::prepare(place);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || ::fchmod(file.handle(), 0600) != 0 || file.write(data) != data.size()
        || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

QByteArray sha256Of(const QSslCertificate &certificate)
{
    return certificate.isNull() ? QByteArray() : certificate.digest(QCryptographicHash::Sha256);
}

// The bundle again from what it held, `added` and the system's store.
bool rebuild(const CertificateTrust::TrustList &list, const QByteArray &added, QString *error)
{
    const QByteArray bundle = CertificateTrust::engineBundle(readAll(systemStore()), readAll(bundlePath()), added,
                                                             list);
    if (!writePrivate(bundlePath(), bundle, error))
        return false;
    g_builtFrom = stampOf(trustFilePath()) + stampOf(systemStore());
    return true;
}

QList<QSslCertificate> seamAuthorities()
{
    static QString loadedFrom;
    static QList<QSslCertificate> loaded;
    if (loadedFrom != stampOf(systemStoreSeam.get())) {
        loadedFrom = stampOf(systemStoreSeam.get());
        loaded = QSslCertificate::fromPath(systemStoreSeam.get(), QSsl::Pem);
    }
    return loaded;
}

QSslConfiguration withStore(QSslConfiguration config)
{
    if (!systemStoreSeam.get().isEmpty())
        config.setCaCertificates(seamAuthorities());
    return config;
}

// Whether the errors of a certificate the system does not trust concern
// that one certificate alone, and the user trusts it for `host`.
bool userTrusts(const QString &host, const QSslCertificate &leaf, const QList<QSslError> &errors)
{
    if (leaf.isNull() || !trustList().trusts(host, sha256Of(leaf)))
        return false;
    for (const QSslError &error : errors)
        if (!error.certificate().isNull() && error.certificate() != leaf)
            return false;
    return true;
}
} // namespace

QString systemStore()
{
    return systemStoreSeam.get().isEmpty() ? QStringLiteral("/etc/ssl/certs/ca-certificates.crt")
                                           : systemStoreSeam.get();
}

// Another store: the bundle is made anew.
Seam<QString> systemStoreSeam(QString(), [] { g_builtFrom.clear(); });

QString trustFilePath() { return DataPlaces::settings().dir + QStringLiteral("/certificaten.txt"); }
QString bundlePath() { return DataPlaces::settings().dir + QStringLiteral("/certificaten.pem"); }

CertificateTrust::TrustList trustList() { return CertificateTrust::TrustList::parse(readAll(trustFilePath())); }

QString engineAuthorities()
{
    const CertificateTrust::TrustList list = trustList();
    if (list.isEmpty()) {
        // Nothing trusted (any more): no certificate of the user's in use.
        if (QFileInfo::exists(bundlePath()))
            QFile::remove(bundlePath());
        g_builtFrom.clear();
        return systemStore();
    }
    if (g_builtFrom != stampOf(trustFilePath()) + stampOf(systemStore()) || !QFileInfo::exists(bundlePath())) {
        QString error;
        if (!rebuild(list, QByteArray(), &error)) {
            qCWarning(lcCert) << "cannot write" << bundlePath() << error;
            return systemStore();
        }
    }
    return bundlePath();
}

bool trust(const QString &host, const QSslCertificate &certificate, QString *error)
{
    const QByteArray sha256 = sha256Of(certificate);
    if (host.isEmpty() || sha256.isEmpty()) {
        if (error)
            *error = QStringLiteral("geen certificaat");
        return false;
    }
    CertificateTrust::TrustList list = trustList();
    list.trust(host, sha256);
    if (!writePrivate(trustFilePath(), list.text(), error))
        return false;
    return rebuild(list, certificate.toPem(), error);
}

void prepare(QNetworkRequest &request)
{
    if (!systemStoreSeam.get().isEmpty())
        request.setSslConfiguration(withStore(request.sslConfiguration()));
}

void watch(QNetworkReply *reply)
{
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply](const QList<QSslError> &errors) {
        const QString host = CertificateTrust::hostOf(reply->url());
        QSslCertificate leaf = reply->sslConfiguration().peerCertificate();
        if (leaf.isNull() && !errors.isEmpty())
            leaf = errors.first().certificate();
        if (userTrusts(host, leaf, errors)) {
            reply->ignoreSslErrors(errors); // these, for this certificate, and no others
            return;
        }
        qCDebug(lcCert) << "refused" << host << errors;
        reply->setProperty(RefusedProperty, host);
    });
}

QString refusedHost(const QNetworkReply *reply)
{
    if (!reply || reply->error() != QNetworkReply::SslHandshakeFailedError)
        return QString();
    return reply->property(RefusedProperty).toString();
}

void probe(const QString &host, QObject *context, ProbeDone done)
{
    const QUrl where(QStringLiteral("https://") + host);
    auto *socket = new QSslSocket(context);
    socket->setSslConfiguration(withStore(socket->sslConfiguration()));
    auto *timer = new QTimer(socket);
    auto finished = std::make_shared<bool>(false);
    auto finish = [socket, finished, done](const QSslCertificate &certificate, bool accepted) {
        if (*finished)
            return;
        *finished = true;
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
        done(certificate, accepted);
    };
    QObject::connect(socket, &QSslSocket::encrypted, socket,
                     [socket, finish] { finish(socket->peerCertificate(), true); });
    QObject::connect(socket, &QSslSocket::sslErrors, socket, [socket, finish, host](const QList<QSslError> &errors) {
        QSslCertificate certificate = socket->peerCertificate();
        if (certificate.isNull() && !errors.isEmpty())
            certificate = errors.first().certificate();
        finish(certificate, userTrusts(host, certificate, errors));
    });
    QObject::connect(socket, &QSslSocket::errorOccurred, socket, [finish] { finish(QSslCertificate(), false); });
    QObject::connect(timer, &QTimer::timeout, socket, [finish] { finish(QSslCertificate(), false); });
    timer->setSingleShot(true);
    timer->start(ProbeTimeoutMs);
    if (where.host().isEmpty())
        QTimer::singleShot(0, socket, [finish] { finish(QSslCertificate(), false); });
    else
        socket->connectToHostEncrypted(where.host(), quint16(where.port(443)));
}

} // namespace CertificateStore
