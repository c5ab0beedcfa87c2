#pragma once
// Which TLS certificates the program and its decoder accept, with no widget
// or socket in sight. The system's store of authorities decides; beyond it
// only a certificate the user chose to trust for one host counts, named by
// its SHA-256 fingerprint in a file of the user's own, one
//   host fingerprint
// a line (e.g. "cam.example.com AB:CD:…:EF"). A host whose certificate
// changes is asked about again: the new one has another fingerprint.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace CertificateTrust {

// The name a certificate is trusted under: the host of an address, with
// ":port" when the port is not 443 ("cam.example.com", "127.0.0.1:8443",
// "[::1]:8443"). Empty for an address without a host.
QString hostOf(const QUrl &url);

// What a player says of a certificate the system does not trust.
QString untrustedReason(const QString &host);

// A SHA-256 fingerprint as people compare it (and as `openssl x509
// -fingerprint -sha256` prints it): 32 pairs of capital hex digits joined
// by colons.
QString fingerprintText(const QByteArray &sha256);
// The 32 bytes of such a text, with or without colons, in either case;
// empty when the text is not a SHA-256 fingerprint.
QByteArray parseFingerprint(const QString &text);

// The user's trusted certificates, as the file holds them.
class TrustList {
public:
    static TrustList parse(const QByteArray &text);
    // The file again: every line that was read, a host trusted anew in
    // place of its old lines (or at the end).
    QByteArray text() const;
    bool isEmpty() const;
    bool trusts(const QString &host, const QByteArray &sha256) const;
    bool listsFingerprint(const QByteArray &sha256) const; // for any host
    // Trust `sha256` for `host`, and nothing else for it any more.
    void trust(const QString &host, const QByteArray &sha256);

private:
    struct Line {
        QByteArray raw; // as read: comments, blank and unreadable lines are kept
        QString host;   // empty unless the line names a host and a fingerprint
        QByteArray sha256;
    };
    QList<Line> m_lines;
};

// The certificates of a PEM text, each block from "-----BEGIN CERTIFICATE-----"
// to its end line, and the SHA-256 fingerprint of one such block (of the
// certificate it holds); empty when the block cannot be read.
QList<QByteArray> pemCertificates(const QByteArray &pem);
QByteArray fingerprintOfPem(const QByteArray &block);

// The authorities the decoder checks against. The decoder cannot pin a
// fingerprint, so a certificate the user trusts joins the system's store as
// an authority of its own: the system's store, then every certificate of
// `kept` (the previous bundle) and of `added` that `list` still names,
// each once.
QByteArray engineBundle(const QByteArray &systemStore, const QByteArray &kept, const QByteArray &added,
                        const TrustList &list);

// The other hosts an HLS playlist sends the decoder to over TLS, from the
// first bytes of it (`head`; the last line counts only when `whole`):
// those of its segments, variants, keys and initialisation sections whose
// https:// address is not on the host `playlist` itself came from over TLS,
// in order, each once, at most MaxHostsChecked. None for anything else.
QStringList hlsHosts(const QByteArray &head, const QUrl &playlist, bool whole);
constexpr int MaxHostsChecked = 4;

} // namespace CertificateTrust
