#include "player/CertificateDialog.h"
#include "player/CertificateStore.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace CertificateDialog {

namespace {
QString tr(const char *text) { return QCoreApplication::translate("CertificateDialog", text); }

QMessageBox *box(QWidget *parent, QMessageBox::Icon icon, const QString &text)
{
    auto *box = new QMessageBox(icon, QStringLiteral("Kijkraam 2005"), text, QMessageBox::NoButton, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse); // the fingerprint can be copied
    return box;
}

void ask(QWidget *parent, const QString &host, const QSslCertificate &certificate, std::function<void()> trusted)
{
    const QString fingerprint = CertificateTrust::fingerprintText(certificate.digest(QCryptographicHash::Sha256));
    QMessageBox *question = box(parent, QMessageBox::Warning,
                                tr("%1 toont een certificaat dat dit systeem niet vertrouwt.\n\n"
                                   "SHA-256-vingerafdruk:\n%2\n\n"
                                   "Vertrouw het alleen als de eigenaar van %1 u deze vingerafdruk heeft gegeven. "
                                   "Toont %1 later een ander certificaat, dan wordt het opnieuw gevraagd.\n\n"
                                   "Dit certificaat voor %1 vertrouwen?")
                                    .arg(host, fingerprint));
    question->setObjectName(QStringLiteral("certificateDialog"));
    QPushButton *yes = question->addButton(tr("&Vertrouwen"), QMessageBox::AcceptRole);
    yes->setObjectName(QStringLiteral("trustButton"));
    QPushButton *no = question->addButton(tr("Annuleren"), QMessageBox::RejectRole);
    question->setDefaultButton(no);
    question->setEscapeButton(no);
    QObject::connect(
        question, &QMessageBox::buttonClicked, question,
        [parent = QPointer<QWidget>(parent), yes, host, certificate, trusted](QAbstractButton *button) {
            if (button != yes)
                return;
            QString error;
            if (CertificateStore::trust(host, certificate, &error)) {
                trusted();
                return;
            }
            box(parent, QMessageBox::Critical, tr("Het certificaat kan niet worden onthouden: %1").arg(error))->open();
        });
    question->open();
}
} // namespace

QString menuText(const QString &host) { return tr("Certificaat van %1 &vertrouwen...").arg(host); }

void offer(QWidget *parent, const QString &host, std::function<void()> trusted)
{
    // The certificate the host presents now, which is what will be trusted.
    CertificateStore::probe(host, parent, [parent, host, trusted](const QSslCertificate &certificate, bool) {
        if (certificate.isNull())
            box(parent, QMessageBox::Information, tr("Geen certificaat ontvangen van %1.").arg(host))->open();
        else
            ask(parent, host, certificate, trusted);
    });
}

} // namespace CertificateDialog
