#include "platform/ComponentFailure.h"
#include "platform/Redaction.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {
bool g_reported = false;

void tellAndEnd(const QString &component, const QString &reason)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Kijkraam 2005"),
                    ComponentFailure::message(component, reason), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("componentFailure"));
    box.exec();
    // Every window goes with the program; the exit status tells scripts.
    QApplication::closeAllWindows();
    QCoreApplication::exit(1);
}
} // namespace

namespace ComponentFailure {

QString message(const QString &component, const QString &reason)
{
    QString text = QStringLiteral("Kijkraam kan niet starten: %1 werkt niet.").arg(component);
    if (!reason.trimmed().isEmpty())
        text += QStringLiteral("\n\nOorzaak: %1").arg(reason.trimmed());
    text += QStringLiteral("\n\nHet programma wordt afgesloten.");
    return Redaction::redact(text);
}

void report(const QString &component, const QString &reason)
{
    if (g_reported)
        return;
    g_reported = true;
    const Handler handler = handlerSeam.get();
    if (handler) {
        handler(component, reason);
        return;
    }
    // On the next turn of the event loop: a report from inside a window's
    // load comes before QApplication::exec(), where exit() would be lost.
    QTimer::singleShot(0, qApp, [component, reason] { tellAndEnd(component, reason); });
}

Seam<Handler> handlerSeam(Handler(), [] { g_reported = false; });

} // namespace ComponentFailure
