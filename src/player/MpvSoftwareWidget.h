#pragma once
#include <QImage>
#include <QWidget>
#include <atomic>
#include <memory>

struct mpv_handle;
struct mpv_render_context;

// Draws one mpv core's video through libmpv's software render API into an
// image that the widget paints. Where OpenGL itself runs in software (no
// GPU), this costs far less than scaling in emulated shaders and then
// recomposing the whole window for every frame: only the player's own
// rectangle is repainted, and only when mpv has a new frame.
class MpvSoftwareWidget : public QWidget {
    Q_OBJECT
public:
    MpvSoftwareWidget(mpv_handle *mpv, QWidget *parent);
    ~MpvSoftwareWidget() override;

    bool hasRenderContext() const { return m_render != nullptr; }
    void releaseRenderContext();

signals:
    void renderContextReady();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void onMpvUpdate();
    void renderFrame();
    static void updateCallback(void *ctx);

    mpv_handle *m_mpv;
    mpv_render_context *m_render = nullptr;
    std::atomic<bool> m_updatePending{false};
    std::unique_ptr<uchar, void (*)(void *)> m_buffer{nullptr, nullptr};
    QImage m_image;
    bool m_hasFrame = false;
};
