#include "platform/WebViewModule.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <dlfcn.h>

// QtGui's context that every OpenGL context of the program is made to share
// with (exported by QtGui, declared in its private headers).
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {
// Qt WebEngine expects the application's shared OpenGL context, which Qt
// makes at start when contexts are shared: the engine reads its format and
// picks its GL configuration from it as it starts. Without a GPU the
// program shares no contexts (see Application::prepare), so that a run
// without pages loads no OpenGL driver; the first page makes that context
// now, before the engine starts.
void makeSharedContext()
{
    if (QOpenGLContext::globalShareContext())
        return;
    auto *context = new QOpenGLContext(QCoreApplication::instance());
    context->create();
    qt_gl_set_global_share_context(context);
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
    makeSharedContext();
    // dlopen from the program's own code searches the program's run path.
    void *library = ::dlopen(KIJKRAAM_WEBVIEW_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        failure = QString::fromLocal8Bit(::dlerror());
    } else if (auto entry = reinterpret_cast<WebViewModuleEntry>(::dlsym(library, KIJKRAAM_WEBVIEW_ENTRY))) {
        module = entry();
    } else {
        failure = QStringLiteral("%1 mist %2").arg(QLatin1String(KIJKRAAM_WEBVIEW_LIBRARY),
                                                 QLatin1String(KIJKRAAM_WEBVIEW_ENTRY));
    }
    if (!module && failure.isEmpty())
        failure = QStringLiteral("%1 gaf geen module").arg(QLatin1String(KIJKRAAM_WEBVIEW_LIBRARY));
    if (error)
        *error = failure;
    return module;
}
