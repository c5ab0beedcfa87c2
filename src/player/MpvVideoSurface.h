#pragma once
// What both video widgets share: a widget that draws one mpv core's video
// through a render context. The surface creates the context when it can
// draw (announcing it through onReady), repaints when mpv has a new frame,
// and frees the context when its drawing surface goes. The backend alone
// decides when the core goes: detachCore() first frees the render context.
// Double clicks are not handled here; they reach the player like any other
// mouse event.
#include <QtGlobal>
#include <atomic>
#include <functional>

class QWidget;
struct mpv_handle;
struct mpv_render_context;
struct mpv_render_param;

class MpvVideoSurface {
public:
    virtual ~MpvVideoSurface();
    MpvVideoSurface(const MpvVideoSurface &) = delete;
    MpvVideoSurface &operator=(const MpvVideoSurface &) = delete;

    QWidget *widget() const { return m_widget; }
    bool hasRenderContext() const { return m_render != nullptr; }
    // Called each time a render context is ready; at once if one is.
    void onReady(std::function<void()> ready);
    // The core is about to be destroyed: free the render context and make no other.
    void detachCore();
    // New frames drawn by this surface, and frames of those that reached
    // the screen (painted for the first time).
    quint64 framesRendered() const { return m_rendered; }
    quint64 framesShown() const { return m_shown; }

protected:
    MpvVideoSurface(QWidget *widget, mpv_handle *mpv);
    // Create the render context for these API parameters (terminated by
    // MPV_RENDER_PARAM_INVALID); tells onReady's function when it worked.
    bool createRenderContext(mpv_render_param *params);
    // Free the render context. Derived destructors call it: only there is
    // the drawing surface still whole.
    void freeRenderContext();
    bool hasCore() const { return m_mpv != nullptr; }
    // The derived surface counts: a new frame drawn, and one painted.
    void countRendered() { ++m_rendered; }
    // Called at every paint: counts once per frame drawn since the last.
    void countPainted()
    {
        if (m_rendered != m_painted) {
            m_painted = m_rendered;
            ++m_shown;
        }
    }

    // A new frame waits: draw it (on the widget's thread).
    virtual void drawNewFrame() = 0;
    // A new frame waits while nobody can see it (the window minimised or
    // hidden): take it from the engine, which waits for every frame to be
    // taken, at as little cost as the surface can. By default: draw it.
    virtual void takeUnseenFrame() { drawNewFrame(); }
    // Around freeing the render context (an OpenGL context must be current).
    virtual void beginContextWork() {}
    virtual void endContextWork() {}

    mpv_render_context *m_render = nullptr;

private:
    static void updateCallback(void *ctx);
    void takeUpdate();

    QWidget *m_widget;
    mpv_handle *m_mpv;
    std::function<void()> m_ready;
    std::atomic<bool> m_updatePending{false};
    quint64 m_rendered = 0, m_painted = 0, m_shown = 0;
};
