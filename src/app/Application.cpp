#include "app/Application.h"
#include "app/FormCatalog.h"

#include <QApplication>
#include <QIcon>
#include <clocale>
#include <unistd.h>

namespace Application {

void prepare()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-gpu"))
        flags += " --disable-gpu";
    // Chromium refuses to run its sandbox as root. Without a sandbox there
    // is no use for its zygote processes either.
    if (::geteuid() == 0 && !flags.contains("--no-sandbox"))
        flags += " --no-sandbox --no-zygote";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

void init()
{
    QApplication::setApplicationName(QStringLiteral("Kijkraam"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kijkraam.svg")));
    std::setlocale(LC_NUMERIC, "C");
    registerAllForms();
}

} // namespace Application
