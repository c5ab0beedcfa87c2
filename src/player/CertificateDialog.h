#pragma once
// The small dialog with which a user trusts one certificate for one host.
#include <QString>
#include <functional>

class QWidget;

namespace CertificateDialog {

// Asks `host` for the certificate it presents, shows its SHA-256
// fingerprint and offers to trust it.
// Modeless for the program: nothing waits for the answer. `trusted` runs
// once the certificate is kept.
void offer(QWidget *parent, const QString &host, std::function<void()> trusted);

// The text of the menu item that opens it.
QString menuText(const QString &host);

} // namespace CertificateDialog
