#pragma once
#include "player/MpvVideoSurface.h"

#include <QOpenGLWidget>

// Draws one mpv core's video through libmpv's OpenGL render API. It asks Qt
// to repaint only when mpv has a new frame, and never waits in rendering
// (several players share the one user-interface thread).
class MpvVideoWidget : public QOpenGLWidget, public MpvVideoSurface {
    Q_OBJECT
public:
    MpvVideoWidget(mpv_handle *mpv, QWidget *parent);
    ~MpvVideoWidget() override;

protected:
    void initializeGL() override;
    void paintGL() override;
    void drawNewFrame() override
    {
        m_frameWaiting = true;
        update();
    }
    void beginContextWork() override { makeCurrent(); }
    void endContextWork() override { doneCurrent(); }

private:
    void contextGone() { freeRenderContext(); }

    // Frees the render context when Qt replaces the GL context; ended in the
    // destructor, because the context goes only in ~QOpenGLWidget, when this
    // object is no longer whole.
    QMetaObject::Connection m_contextGone;
    bool m_frameWaiting = false; // mpv has a frame that paintGL has not drawn yet
};
