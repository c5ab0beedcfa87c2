#pragma once
#include "player/MpvVideoSurface.h"

#include <QImage>
#include <QWidget>
#include <memory>

// Draws one mpv core's video through libmpv's software render API into an
// image that the widget paints. Where OpenGL itself runs in software (no
// GPU), this costs far less than scaling in emulated shaders and then
// recomposing the whole window for every frame: only the player's own
// rectangle is repainted, and only when mpv has a new frame.
class MpvSoftwareWidget : public QWidget, public MpvVideoSurface {
    Q_OBJECT
public:
    MpvSoftwareWidget(mpv_handle *mpv, QWidget *parent);
    ~MpvSoftwareWidget() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void drawNewFrame() override;
    void takeUnseenFrame() override;

private:
    bool renderImage();
    bool render(int width, int height, size_t stride, void *pixels);

    std::unique_ptr<uchar, void (*)(void *)> m_buffer{nullptr, nullptr};
    QImage m_image;
    bool m_hasFrame = false;
};
