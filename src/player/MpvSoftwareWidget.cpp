#include "player/MpvSoftwareWidget.h"

#include <QPaintEvent>
#include <QPainter>
#include <cstdlib>
#include <mpv/render.h>

MpvSoftwareWidget::MpvSoftwareWidget(mpv_handle *mpv, QWidget *parent) : QWidget(parent), MpvVideoSurface(this, mpv)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    createRenderContext(params);
}

MpvSoftwareWidget::~MpvSoftwareWidget() { freeRenderContext(); }

void MpvSoftwareWidget::drawNewFrame()
{
    if (renderImage())
        countRendered();
}

bool MpvSoftwareWidget::renderImage()
{
    if (!m_render || width() <= 0 || height() <= 0)
        return false;
    const qreal ratio = devicePixelRatioF();
    const int w = qMax(1, int(width() * ratio)), h = qMax(1, int(height() * ratio));
    if (m_image.width() != w || m_image.height() != h) {
        // 64-byte aligned lines let mpv's converters take their fast path.
        const size_t stride = (size_t(w) * 4 + 63) & ~size_t(63);
        void *memory = std::aligned_alloc(64, stride * size_t(h));
        if (!memory)
            return false;
        m_buffer = std::unique_ptr<uchar, void (*)(void *)>(static_cast<uchar *>(memory), &std::free);
        m_image = QImage(m_buffer.get(), w, h, qsizetype(stride), QImage::Format_RGB32);
        m_image.setDevicePixelRatio(ratio);
        m_image.fill(Qt::black);
    }
    if (!render(w, h, size_t(m_image.bytesPerLine()), m_buffer.get()))
        return false;
    m_hasFrame = true;
    update();
    return true;
}

bool MpvSoftwareWidget::render(int width, int height, size_t stride, void *pixels)
{
    int size[2] = {width, height};
    // QImage::Format_RGB32 is 0xffRRGGBB in native order: bytes B, G, R, X.
    char format[] = "bgr0";
    // Never wait for the frame's display time here: several players share
    // the one user-interface thread.
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_SW_SIZE, size},
        {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, pixels},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_render(m_render, params) >= 0;
}

void MpvSoftwareWidget::takeUnseenFrame()
{
    // The frame scaled to a picture of 8 by 8: the engine's clock goes on
    // as if it were shown, the scaler has next to nothing to do. The image
    // the widget paints keeps the last frame seen until the next one.
    if (!m_render)
        return;
    alignas(64) static uchar tiny[8 * 64];
    render(8, 8, 64, tiny);
}

void MpvSoftwareWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_hasFrame)
        renderImage(); // the current frame again, at the new size
}

void MpvSoftwareWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (m_hasFrame)
        countPainted();
    if (m_hasFrame && m_image.width() >= int(width() * devicePixelRatioF()))
        painter.drawImage(event->rect(), m_image,
                          QRectF(QPointF(event->rect().topLeft()) * devicePixelRatioF(),
                                 QSizeF(event->rect().size()) * devicePixelRatioF()));
    else
        painter.fillRect(event->rect(), Qt::black);
}
