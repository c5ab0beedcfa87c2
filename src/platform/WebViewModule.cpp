#include "platform/WebViewModule.h"
#include "platform/Renderer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <dlfcn.h>
#include <vector>

namespace {
// Where the dynamic loader looks for the program's libraries: its run path
// ($ORIGIN expanded), then the system's places. The module is looked up
// there by full name; dlopen with the bare name would use the run path of
// whoever calls it, which is not the program where dlopen is wrapped (as
// the address sanitizer does).
QStringList searchPath()
{
    QStringList dirs;
    void *program = ::dlopen(nullptr, RTLD_LAZY);
    Dl_serinfo size;
    if (program && ::dlinfo(program, RTLD_DI_SERINFOSIZE, &size) == 0) {
        std::vector<char> buffer(size.dls_size);
        auto *info = reinterpret_cast<Dl_serinfo *>(buffer.data());
        if (::dlinfo(program, RTLD_DI_SERINFOSIZE, info) == 0 && ::dlinfo(program, RTLD_DI_SERINFO, info) == 0)
            for (unsigned i = 0; i < info->dls_cnt; ++i)
                dirs << QFile::decodeName(info->dls_serpath[i].dls_name);
    }
    return dirs;
}
} // namespace

WebViewModule *WebViewModule::instance(QString *error)
{
    static WebViewModule *module = nullptr;
    static QString failure;
    if (module || !failure.isEmpty()) {
        if (error)
            *error = failure;
        return module;
    }
    // The engine starts with the module, and wants the shared context then.
    Renderer::makeSharedContext();
    void *library = nullptr;
    const QStringList dirs = searchPath();
    for (const QString &dir : dirs) {
        const QString file = dir + QLatin1Char('/') + QLatin1String(KIJKRAAM_WEBVIEW_LIBRARY);
        if (QFileInfo::exists(file)) {
            library = ::dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL);
            if (!library)
                failure = QString::fromLocal8Bit(::dlerror());
            break;
        }
    }
    if (!library) {
        if (failure.isEmpty())
            failure = QStringLiteral("%1 niet gevonden in %2")
                          .arg(QLatin1String(KIJKRAAM_WEBVIEW_LIBRARY), dirs.join(QLatin1Char(':')));
    } else if (auto entry = reinterpret_cast<WebViewModuleEntry>(::dlsym(library, KIJKRAAM_WEBVIEW_ENTRY))) {
        module = entry();
    } else {
        failure = QStringLiteral("%1 mist %2")
                      .arg(QLatin1String(KIJKRAAM_WEBVIEW_LIBRARY), QLatin1String(KIJKRAAM_WEBVIEW_ENTRY));
    }
    if (!module && failure.isEmpty())
        failure = QStringLiteral("%1 gaf geen module").arg(QLatin1String(KIJKRAAM_WEBVIEW_LIBRARY));
    if (error)
        *error = failure;
    return module;
}
