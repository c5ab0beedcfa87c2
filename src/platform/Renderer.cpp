#include "platform/Renderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

// QtGui's context that every OpenGL context of the program is made to share
// with (exported by QtGui, declared in its private headers).
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

bool openGLRunsInSoftware()
{
    // Without a GPU there is nothing to ask OpenGL: do not load its driver
    // (Mesa's software rasterizer with LLVM) just to hear that.
    if (!Renderer::gpuPresent())
        return true;
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    if (!context.create() || !context.makeCurrent(&surface))
        return true;
    const QByteArray renderer = reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    context.doneCurrent();
    return renderer.contains("llvmpipe") || renderer.contains("softpipe") || renderer.contains("Software")
           || renderer.contains("SWR");
}
} // namespace

namespace Renderer {

Seam<Kind> seam(Kind::Automatic);

bool gpuPresent()
{
    // Every GPU driver of the kernel's DRM offers a render node.
    return !QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System).isEmpty();
}

Kind effective()
{
    if (seam.get() != Kind::Automatic)
        return seam.get();
    static const Kind detected = openGLRunsInSoftware() ? Kind::Software : Kind::OpenGL;
    return detected;
}

void prepareApplication()
{
    if (gpuPresent())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void makeSharedContext()
{
    if (QOpenGLContext::globalShareContext())
        return;
    auto *context = new QOpenGLContext(QCoreApplication::instance());
    context->create();
    qt_gl_set_global_share_context(context);
}

} // namespace Renderer
