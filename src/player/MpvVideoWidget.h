#pragma once
#include <QOpenGLWidget>
#include <atomic>

struct mpv_handle;
struct mpv_render_context;

// Draws one mpv core's video through libmpv's OpenGL render API. It asks Qt
// to repaint only when mpv has a new frame, and never waits in rendering
// (several players share the one user-interface thread).
class MpvVideoWidget : public QOpenGLWidget {
    Q_OBJECT
public:
    MpvVideoWidget(mpv_handle *mpv, QWidget *parent);
    ~MpvVideoWidget() override;

    bool hasRenderContext() const { return m_render != nullptr; }
    // Release the render context; must happen before the core is destroyed.
    void releaseRenderContext();

signals:
    void renderContextReady();
    void doubleClicked();

protected:
    void initializeGL() override;
    void paintGL() override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void onMpvUpdate();
    static void updateCallback(void *ctx);

    mpv_handle *m_mpv;
    mpv_render_context *m_render = nullptr;
    std::atomic<bool> m_updatePending{false};
};
