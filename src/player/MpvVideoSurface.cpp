#include "player/MpvVideoSurface.h"

#include <QWidget>
#include <QWindow>
#include <mpv/render.h>

MpvVideoSurface::MpvVideoSurface(QWidget *widget, mpv_handle *mpv) : m_widget(widget), m_mpv(mpv) {}

MpvVideoSurface::~MpvVideoSurface() = default;

void MpvVideoSurface::onReady(std::function<void()> ready)
{
    m_ready = std::move(ready);
    if (m_render && m_ready)
        m_ready();
}

void MpvVideoSurface::detachCore()
{
    freeRenderContext();
    m_mpv = nullptr;
    m_ready = nullptr;
}

bool MpvVideoSurface::createRenderContext(mpv_render_param *params)
{
    if (m_render || !m_mpv)
        return m_render != nullptr;
    if (mpv_render_context_create(&m_render, m_mpv, params) < 0) {
        m_render = nullptr;
        return false;
    }
    mpv_render_context_set_update_callback(m_render, &MpvVideoSurface::updateCallback, this);
    if (m_ready)
        m_ready();
    return true;
}

void MpvVideoSurface::freeRenderContext()
{
    if (!m_render)
        return;
    beginContextWork();
    // No update callback runs once this returns.
    mpv_render_context_set_update_callback(m_render, nullptr, nullptr);
    mpv_render_context_free(m_render);
    m_render = nullptr;
    endContextWork();
}

void MpvVideoSurface::updateCallback(void *ctx)
{
    // Called on one of mpv's threads: only post to the widget's thread.
    auto *self = static_cast<MpvVideoSurface *>(ctx);
    if (!self->m_updatePending.exchange(true))
        QMetaObject::invokeMethod(
            self->m_widget, [self] { self->takeUpdate(); }, Qt::QueuedConnection);
}

void MpvVideoSurface::takeUpdate()
{
    m_updatePending = false;
    if (!m_render || !(mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME))
        return;
    const QWindow *window = m_widget->window()->windowHandle();
    if (m_widget->isVisible() && window && window->isExposed())
        drawNewFrame();
    else
        takeUnseenFrame();
}
