// The browser's view of pages through Qt WebEngine, built as the module
// libkijkraam_webview.so (see platform/WebViewModule.h).
#include "platform/WebViewModule.h"

#include <QQuickWindow>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {
WebViewModule::RenderEnd renderEnd(QWebEnginePage::RenderProcessTerminationStatus status)
{
    switch (status) {
    case QWebEnginePage::NormalTerminationStatus: return WebViewModule::RenderEnd::Normal;
    case QWebEnginePage::CrashedTerminationStatus: return WebViewModule::RenderEnd::Crashed;
    case QWebEnginePage::KilledTerminationStatus: return WebViewModule::RenderEnd::Killed;
    default: return WebViewModule::RenderEnd::Abnormal;
    }
}

class EngineViews final : public WebViewModule {
public:
    void useSoftwareComposition() override
    {
        // The view's pictures (the engine draws them in software anyway)
        // are painted like any widget's instead of going through an OpenGL
        // texture, which would make the whole window compose through
        // OpenGL for every picture of a scrolling page.
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }

    QWidget *createView(QWidget *parent, QObject *context, const Events &events) override
    {
        auto *view = new QWebEngineView(parent);
        QWebEnginePage *page = view->page();
        page->setBackgroundColor(Qt::black);
        view->setContextMenuPolicy(Qt::NoContextMenu);
        QObject::connect(page, &QWebEnginePage::loadStarted, context, events.loadStarted);
        QObject::connect(page, &QWebEnginePage::loadFinished, context, events.loadFinished);
        QObject::connect(page, &QWebEnginePage::renderProcessTerminated, context,
                         [ended = events.renderProcessEnded](QWebEnginePage::RenderProcessTerminationStatus status,
                                                             int exitCode) { ended(renderEnd(status), exitCode); });
        return view;
    }

    void load(QWidget *view, const QUrl &url) override { static_cast<QWebEngineView *>(view)->load(url); }
};
} // namespace

extern "C" Q_DECL_EXPORT WebViewModule *kijkraam_webview_module_1()
{
    static EngineViews module;
    return &module;
}
