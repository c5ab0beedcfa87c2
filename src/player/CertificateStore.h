#pragma once
// The certificate rule of CertificateTrust applied to the running program:
// the user's trust file beside the settings (certificaten.txt, mode 0600),
// the decoder's bundle of authorities beside it (certificaten.pem: the
// system's store and the trusted certificates, mode 0600, made again when
// the trust file changes), the program's own fetches, and asking a host
// for its certificate. Everything here runs on the user-interface thread
// and never waits for the network.
#include "platform/Seam.h"
#include "player/CertificateTrust.h"

#include <QSslCertificate>
#include <QString>
#include <functional>

class QNetworkReply;
class QNetworkRequest;
class QObject;

namespace CertificateStore {

// The system's store of authorities: /etc/ssl/certs/ca-certificates.crt.
QString systemStore();
// What tests, which cannot change the system's store, put in its place
// (Seam.h): the PEM file that stands for it, for the program's fetches and
// the decoder alike (empty: the system's).
extern Seam<QString> systemStoreSeam;

QString trustFilePath();
QString bundlePath();
CertificateTrust::TrustList trustList(); // as the file says now

// The file the decoder checks certificates against: the bundle while the
// user trusts any certificate, else the system's store.
QString engineAuthorities();

// Trust `certificate` for `host` from now on, in the program's fetches and
// the decoder's. False, with the reason in `error`, when it cannot be kept.
bool trust(const QString &host, const QSslCertificate &certificate, QString *error = nullptr);

// The program's own fetches: a request checked against the store above;
// a reply whose certificate the system does not trust goes on only when
// the user trusts exactly that certificate for that host.
void prepare(QNetworkRequest &request);
void watch(QNetworkReply *reply);
// The host whose certificate `reply` refused; empty when none was.
QString refusedHost(const QNetworkReply *reply);

// Asks `host` ("name" or "name:port") for its certificate. `done` runs
// once, in `context`'s thread while it lives, with the certificate (null
// when none came within the time-out) and whether it is accepted: the
// system's store vouches for it for that host, or the user trusts it.
using ProbeDone = std::function<void(const QSslCertificate &certificate, bool accepted)>;
void probe(const QString &host, QObject *context, ProbeDone done);

} // namespace CertificateStore
