#include "app/Application.h"
#include "app/FormCatalog.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
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
    // The interface is Dutch, also in Qt's own dialogs and buttons.
    auto *qtTexts = new QTranslator(qApp);
    if (qtTexts->load(QStringLiteral("qtbase_nl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTexts);
    std::setlocale(LC_NUMERIC, "C");
    registerAllForms();
}

} // namespace Application
