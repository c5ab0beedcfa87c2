#include "platform/WebBrowser.h"
#include "platform/ComponentFailure.h"

#include <QPalette>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>

namespace {
bool g_engineStarted = false;

QString whyEnded(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode)
{
    // The engine hands on the wait status of the process: its exit code
    // sits in the second byte.
    if (exitCode > 255 && (exitCode & 0x7f) == 0)
        exitCode >>= 8;
    switch (status) {
    case QWebEnginePage::CrashedTerminationStatus:
        return QStringLiteral("het weergaveproces van de browser is vastgelopen (code %1).").arg(exitCode);
    case QWebEnginePage::KilledTerminationStatus:
        return QStringLiteral("het weergaveproces van de browser is afgebroken.");
    default:
        return QStringLiteral("het weergaveproces van de browser kon niet starten of stopte met een fout "
                              "(afsluitcode %1).").arg(exitCode);
    }
}
} // namespace

WebBrowser::WebBrowser(QWidget *parent) : QWidget(parent)
{
    // Black until a page is shown, like the window around it.
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

bool WebBrowser::engineStarted() { return g_engineStarted; }

QWebEnginePage *WebBrowser::page() const { return m_view ? m_view->page() : m_page; }

void WebBrowser::watch(QWebEnginePage *page)
{
    // A page whose render process failed also finishes loading (with an
    // error); only a page that loaded in a live render process shows that
    // the engine runs.
    auto renderFailed = std::make_shared<bool>(false);
    connect(page, &QWebEnginePage::loadStarted, this, [renderFailed] { *renderFailed = false; });
    connect(page, &QWebEnginePage::loadFinished, this, [this, renderFailed](bool ok) {
        if (!*renderFailed)
            g_engineStarted = true;
        emit loadFinished(ok);
    });
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [renderFailed](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                if (status == QWebEnginePage::NormalTerminationStatus)
                    return;
                *renderFailed = true;
                if (!g_engineStarted)
                    ComponentFailure::report(QStringLiteral("de browser-engine (Qt WebEngine)"),
                                             whyEnded(status, exitCode));
            });
}

void WebBrowser::Navigate(const QString &url)
{
    m_location = url;
    emit navigated(url);
    // The browser engine is started on the next turn of the event loop, so
    // that a window's load (and its players) is not held up by it, and a
    // browser that is never asked for a page costs nothing.
    QTimer::singleShot(0, this, [this, url] {
        if (m_location != url)
            return;
        if (!canBeSeen()) {
            // Nothing of it would show: load the page without a view. A view
            // would make the whole window draw through OpenGL.
            if (!m_page) {
                m_page = new QWebEnginePage(this);
                watch(m_page);
            }
            m_page->load(QUrl(url));
            return;
        }
        if (!m_view) {
            m_view = new QWebEngineView(this);
            m_view->page()->setBackgroundColor(Qt::black);
            m_view->setContextMenuPolicy(Qt::NoContextMenu);
            layout()->addWidget(m_view);
            watch(m_view->page());
        }
        m_view->load(QUrl(url));
    });
}

bool WebBrowser::canBeSeen() const
{
    const QWidget *parent = parentWidget();
    return !parent || parent->rect().intersects(geometry());
}
