#pragma once
// The part of the browser that shows pages: Qt WebEngine's view, built as a
// module of its own (libkijkraam_webview.so) that the program loads the
// first time a page must be shown. The program does not link the engine, so
// a run that shows no page never loads it, nor the OpenGL driver that the
// engine's start-up routine brings in.
//
// The module lies beside the program in the build tree and in
// <prefix>/lib/<architecture>/kijkraam once installed; the program's run path names the
// one that applies, and the module is looked up in the dynamic loader's
// search path for the program.
#include <QString>
#include <functional>

class QObject;
class QUrl;
class QWidget;

class WebViewModule {
public:
    // How a page's render process ended.
    enum class RenderEnd { Normal, Abnormal, Crashed, Killed };
    struct Events {
        std::function<void()> loadStarted;
        std::function<void(bool ok)> loadFinished;
        std::function<void(RenderEnd end, int exitCode)> renderProcessEnded;
    };

    // The module, loaded on the first call; null (with the reason in
    // `error`) when it cannot be loaded.
    static WebViewModule *instance(QString *error);

    // Compose the views' pictures in software rather than through OpenGL.
    // Only before the first view.
    virtual void useSoftwareComposition() = 0;
    // A view inside `parent`: black until a page shows, no context menu.
    // Its page's events call `events` while `context` lives.
    virtual QWidget *createView(QWidget *parent, QObject *context, const Events &events) = 0;
    virtual void load(QWidget *view, const QUrl &url) = 0;

protected:
    ~WebViewModule() = default;
};

// What the module exports: a C function that returns its one instance.
// The name carries the interface's version.
using WebViewModuleEntry = WebViewModule *(*)();
#define KIJKRAAM_WEBVIEW_LIBRARY "libkijkraam_webview.so"
#define KIJKRAAM_WEBVIEW_ENTRY "kijkraam_webview_module_1"
