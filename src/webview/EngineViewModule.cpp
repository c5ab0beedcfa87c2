// The browser's view of pages through Qt WebEngine, built as the module
// libkijkraam_webview.so (see platform/WebViewModule.h).
#include "platform/WebViewModule.h"

#include <QAuthenticator>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QQuickWindow>
#include <QTimer>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEnginePage>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineView>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// A page's render process may hold this much memory of its own (private
// and shared memory it made, not the libraries it maps). A page that grows
// it beyond (a page without end, a script that piles up data) is refused:
// its render process is ended and the view is left empty.
constexpr qint64 MaxRenderBytes = 384LL * 1024 * 1024;
constexpr int WatchIntervalMs = 250;
// Render processes yield the processor to the players and the windows: a
// page that keeps its process busy gets what they leave.
constexpr int RenderNice = 10;

WebViewModule::RenderEnd renderEnd(QWebEnginePage::RenderProcessTerminationStatus status)
{
    switch (status) {
    case QWebEnginePage::NormalTerminationStatus:
        return WebViewModule::RenderEnd::Normal;
    case QWebEnginePage::CrashedTerminationStatus:
        return WebViewModule::RenderEnd::Crashed;
    case QWebEnginePage::KilledTerminationStatus:
        return WebViewModule::RenderEnd::Killed;
    default:
        return WebViewModule::RenderEnd::Abnormal;
    }
}

// The memory a process made itself: RssAnon + RssShmem of /proc/PID/status.
qint64 ownMemory(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    qint64 kib = 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("RssAnon:") || line.startsWith("RssShmem:"))
            kib += line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLongLong();
    return kib * 1024;
}

// Every thread of the process: on Linux a priority belongs to a thread.
void lowerPriority(qint64 pid)
{
    const QStringList tasks = QDir(QStringLiteral("/proc/%1/task").arg(pid))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        const id_t tid = id_t(task.toLongLong());
        if (::getpriority(PRIO_PROCESS, tid) < RenderNice)
            ::setpriority(PRIO_PROCESS, tid, RenderNice);
    }
}

// A page that never waits for a person. Nothing of it is shown outside the
// view: its dialogs are answered at once as a person who says no would
// (alert goes unseen, confirm and prompt are cancelled, no file is chosen,
// no window opens, no permission, full screen, log-in or certificate is
// given), and printing shows nothing. Its console lines go nowhere.
class QuietPage final : public QWebEnginePage {
public:
    explicit QuietPage(QObject *parent) : QWebEnginePage(parent)
    {
        connect(this, &QWebEnginePage::featurePermissionRequested, this, [this](const QUrl &origin, Feature feature) {
            setFeaturePermission(origin, feature, PermissionDeniedByUser);
        });
        connect(this, &QWebEnginePage::fullScreenRequested, this, [](QWebEngineFullScreenRequest r) { r.reject(); });
        connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
                [](QWebEngineFileSystemAccessRequest r) { r.reject(); });
        connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
                [](QWebEngineRegisterProtocolHandlerRequest r) { r.reject(); });
        connect(this, &QWebEnginePage::selectClientCertificate, this,
                [](QWebEngineClientCertificateSelection s) { s.selectNone(); });
        // A null authenticator cancels the request.
        connect(this, &QWebEnginePage::authenticationRequired, this,
                [](const QUrl &, QAuthenticator *a) { *a = QAuthenticator(); });
        connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
                [](const QUrl &, QAuthenticator *a, const QString &) { *a = QAuthenticator(); });
    }

protected:
    void javaScriptAlert(const QUrl &, const QString &) override {}
    bool javaScriptConfirm(const QUrl &, const QString &) override { return false; }
    bool javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *) override { return false; }
    QStringList chooseFiles(FileSelectionMode, const QStringList &, const QStringList &) override { return {}; }
    QWebEnginePage *createWindow(WebWindowType) override { return nullptr; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int, const QString &) override {}
};

// Watches a page's render process: its priority, and its memory against
// MaxRenderBytes. Ending a process for its size is not a failure of the
// engine, and is not reported as one.
class RenderWatch : public QObject {
public:
    RenderWatch(QWebEnginePage *page, QObject *context, const WebViewModule::Events &events)
        : QObject(page), m_page(page)
    {
        QObject::connect(page, &QWebEnginePage::renderProcessTerminated, context,
                         [this, ended = events.renderProcessEnded](
                             QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                             if (m_refused) {
                                 m_refused = false;
                                 // Empty and black, in a new render process.
                                 m_page->setUrl(QUrl(QStringLiteral("about:blank")));
                                 return;
                             }
                             ended(renderEnd(status), exitCode);
                         });
        // The page's process is looked up at every turn: it changes with
        // pages of other sites and after a process ended, and the engine
        // does not tell of the first one.
        m_timer.setInterval(WatchIntervalMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { check(); });
        m_timer.start();
    }

private:
    void check()
    {
        const qint64 pid = m_page->renderProcessPid();
        if (pid <= 0 || pid == ::getpid() || m_refused)
            return;
        lowerPriority(pid); // and the threads it started since
        if (ownMemory(pid) > MaxRenderBytes) {
            m_refused = true;
            ::kill(pid_t(pid), SIGKILL);
        }
    }

    QWebEnginePage *m_page;
    QTimer m_timer;
    bool m_refused = false;
};

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
        auto *page = new QuietPage(view);
        view->setPage(page);
        page->setBackgroundColor(Qt::black);
        view->setContextMenuPolicy(Qt::NoContextMenu);
        QObject::connect(page, &QWebEnginePage::loadStarted, context, events.loadStarted);
        QObject::connect(page, &QWebEnginePage::loadFinished, context, events.loadFinished);
        new RenderWatch(page, context, events);
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
