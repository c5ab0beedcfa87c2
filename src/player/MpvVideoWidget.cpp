#include "player/MpvVideoWidget.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <mpv/render_gl.h>

namespace {
void *getProcAddress(void *, const char *name)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void *>(context->getProcAddress(QByteArray(name))) : nullptr;
}
} // namespace

MpvVideoWidget::MpvVideoWidget(mpv_handle *mpv, QWidget *parent) : QOpenGLWidget(parent), MpvVideoSurface(this, mpv)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(this, &QOpenGLWidget::frameSwapped, this, [this] {
        if (m_render)
            mpv_render_context_report_swap(m_render);
    });
}

MpvVideoWidget::~MpvVideoWidget()
{
    freeRenderContext();
    disconnect(m_contextGone);
}

void MpvVideoWidget::initializeGL()
{
    // Qt destroys the GL context when the widget moves to a window that does
    // not share contexts; mpv's renderer must go first.
    disconnect(m_contextGone);
    m_contextGone = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &MpvVideoWidget::contextGone,
                            Qt::DirectConnection);
    if (hasRenderContext() || !hasCore())
        return;
    mpv_opengl_init_params glInit{&getProcAddress, nullptr};
    int advanced = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    createRenderContext(params);
}

void MpvVideoWidget::paintGL()
{
    if (!m_render) {
        context()->functions()->glClearColor(0, 0, 0, 1);
        context()->functions()->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * ratio), int(height() * ratio), 0};
    int flipY = 1;
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(m_render, params) >= 0 && m_frameWaiting) {
        // Drawn into the widget's framebuffer, which Qt puts on screen in
        // this same paint.
        m_frameWaiting = false;
        countRendered();
        countPainted();
    }
}
