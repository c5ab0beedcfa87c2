#include "app/Application.h"
#include "app/FormCatalog.h"
#include "platform/Renderer.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <clocale>
#include <unistd.h>

namespace Application {

void prepare()
{
    // Shared OpenGL contexts with a GPU, none without (platform/Renderer.h).
    Renderer::prepareApplication();
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

void substituteFonts()
{
    // The windows were drawn with Windows fonts. Liberation Sans, Serif and
    // Mono have the metrics of Arial, Times New Roman and Courier New, so
    // captions take the widths they were designed for; Liberation Sans is
    // also the closest free match for the bitmap font "MS Sans Serif".
    // "Comic Sans MS" has no free twin with its metrics: Liberation Sans
    // stands in, which is narrower, so its captions fit too.
    const QString sans = QStringLiteral("Liberation Sans");
    QFont::insertSubstitution(QStringLiteral("Arial"), sans);
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), sans);
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), sans);
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
}

void init()
{
    QApplication::setApplicationName(QStringLiteral("Kijkraam"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kijkraam.svg")));
    // The window registry decides when the program ends: when its last
    // window is unloaded, whichever way. Qt's own rule (the last visible
    // window closed) misses windows that are unloaded without a close event.
    QApplication::setQuitOnLastWindowClosed(false);
    substituteFonts();
    // The interface is Dutch, also in Qt's own dialogs and buttons.
    auto *qtTexts = new QTranslator(qApp);
    if (qtTexts->load(QStringLiteral("qtbase_nl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTexts);
    std::setlocale(LC_NUMERIC, "C");
    registerAllForms();
}

} // namespace Application
