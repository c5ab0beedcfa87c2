#include "platform/WebBrowser.h"
#include "platform/ComponentFailure.h"
#include "platform/Renderer.h"
#include "platform/WebViewModule.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPalette>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

namespace {
bool g_engineStarted = false;

const QString EngineName = QStringLiteral("de browser-engine (Qt WebEngine)");

// A page is read and thrown away: at most this much of it, in pieces of this size.
constexpr qint64 MaxPageBytes = 4 * 1024 * 1024;
constexpr qint64 ReadPiece = 64 * 1024;
constexpr int MaxRedirects = 20;     // as many as the engine follows
constexpr int PageTimeoutMs = 30000; // no data for this long: the page failed
// The status line and headers of each answer must be complete this soon
// after the request (or the redirect) went out: a server that sends headers
// without end, or one header line without end, keeps the transfer alive
// but never gives a page. (Qt's network access stops reading headers at
// its own size limit, and then waits.)
constexpr int HeaderTimeoutMs = 5000;

QString whyEnded(WebViewModule::RenderEnd end, int exitCode)
{
    // The engine hands on the wait status of the process: its exit code
    // sits in the second byte.
    if (exitCode > 255 && (exitCode & 0x7f) == 0)
        exitCode >>= 8;
    switch (end) {
    case WebViewModule::RenderEnd::Crashed:
        return QStringLiteral("het weergaveproces van de browser is vastgelopen (code %1).").arg(exitCode);
    case WebViewModule::RenderEnd::Killed:
        return QStringLiteral("het weergaveproces van de browser is afgebroken.");
    default:
        return QStringLiteral("het weergaveproces van de browser kon niet starten of stopte met een fout "
                              "(afsluitcode %1).")
            .arg(exitCode);
    }
}

// One network access for the process: its cookies last for the session,
// as the engine's do.
QNetworkAccessManager *network()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return manager;
}

// The request Qt WebEngine 6.4 (Chromium 102) sends for a page it is told
// to open, header for header, so that the server sees the same visit.
// tst_endtoend compares the two against the engine that is installed. One
// difference is left: Qt's network access always sends an Accept-Language
// (from the system's locale) where the engine sends none; it says Dutch, the
// program's language.
QNetworkRequest pageRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setRawHeader("Upgrade-Insecure-Requests", "1");
    request.setRawHeader("User-Agent", "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
                                       "QtWebEngine/6.4.2 Chrome/102.0.5005.177 Safari/537.36");
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,application/xml;q=0.9,image/avif,image/webp,"
                                   "image/apng,*/*;q=0.8,application/signed-exchange;v=b3;q=0.9");
    request.setRawHeader("Accept-Language", "nl");
    request.setRawHeader("Sec-Fetch-Site", "none");
    request.setRawHeader("Sec-Fetch-Mode", "navigate");
    request.setRawHeader("Sec-Fetch-User", "?1");
    request.setRawHeader("Sec-Fetch-Dest", "document");
    // The body is thrown away unread, so it need not be decoded either.
    request.setRawHeader("Accept-Encoding", "gzip, deflate, br");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setTransferTimeout(PageTimeoutMs);
    return request;
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

WebBrowser::~WebBrowser() { abandonFetch(); }

void WebBrowser::abandonFetch()
{
    if (!m_fetch)
        return;
    QNetworkReply *reply = m_fetch;
    reply->disconnect(this);
    // A reply that has reported its error ends by itself: aborting it now
    // would report a second error on it (Qt warns of that).
    if (!reply->isFinished() && reply->error() == QNetworkReply::NoError)
        reply->abort();
    reply->deleteLater();
}

bool WebBrowser::engineStarted() { return g_engineStarted; }

void WebBrowser::Navigate(const QString &url)
{
    m_location = url;
    // The page is asked for on the next turn of the event loop, so that a
    // window's load (and its players) is not held up by it, and a browser
    // that is never asked for a page costs nothing.
    QTimer::singleShot(0, this, [this, url] {
        if (m_location != url)
            return;
        if (canBeSeen())
            showPage(QUrl(url));
        else
            fetch(QUrl(url));
    });
}

void WebBrowser::fetch(const QUrl &url)
{
    // A new page replaces the one still coming, as in a browser.
    abandonFetch();
    QNetworkReply *reply = network()->get(pageRequest(url));
    m_fetch = reply;
    reply->setReadBufferSize(ReadPiece);
    auto *headerClock = new QTimer(reply);
    headerClock->setSingleShot(true);
    headerClock->setInterval(HeaderTimeoutMs);
    connect(headerClock, &QTimer::timeout, reply, [reply] {
        if (reply->error() == QNetworkReply::NoError)
            reply->abort();
    });
    connect(reply, &QNetworkReply::metaDataChanged, headerClock, &QTimer::stop);
    connect(reply, &QNetworkReply::redirected, headerClock, qOverload<>(&QTimer::start));
    headerClock->start();
    auto received = std::make_shared<qint64>(0);
    connect(reply, &QNetworkReply::readyRead, this, [reply, received] {
        *received += reply->skip(reply->bytesAvailable());
        if (*received >= MaxPageBytes)
            reply->abort(); // enough of it has come
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, received] {
        reply->deleteLater();
        const bool ok = reply->error() == QNetworkReply::NoError
                        || (reply->error() == QNetworkReply::OperationCanceledError && *received >= MaxPageBytes);
        emit loadFinished(ok);
    });
}

void WebBrowser::showPage(const QUrl &url)
{
    if (!m_view) {
        QString error;
        WebViewModule *module = WebViewModule::instance(&error);
        if (!module) {
            ComponentFailure::report(EngineName, QStringLiteral("de module van de browser kon niet worden geladen "
                                                                "(%1).")
                                                     .arg(error));
            return;
        }
        static bool composed = false;
        if (!composed) {
            composed = true;
            // Where OpenGL has no GPU behind it, the players draw in software
            // too, and the window never needs OpenGL.
            if (Renderer::effective() == Renderer::Kind::Software)
                module->useSoftwareComposition();
        }
        // A page whose render process failed also finishes loading (with an
        // error); only a page that loaded in a live render process shows
        // that the engine runs.
        auto renderFailed = std::make_shared<bool>(false);
        WebViewModule::Events events;
        events.loadStarted = [renderFailed] { *renderFailed = false; };
        events.loadFinished = [this, renderFailed](bool ok) {
            if (!*renderFailed)
                g_engineStarted = true;
            emit loadFinished(ok);
        };
        events.renderProcessEnded = [renderFailed](WebViewModule::RenderEnd end, int exitCode) {
            if (end == WebViewModule::RenderEnd::Normal)
                return;
            *renderFailed = true;
            if (!g_engineStarted)
                ComponentFailure::report(EngineName, whyEnded(end, exitCode));
        };
        m_view = module->createView(this, this, events);
        layout()->addWidget(m_view);
    }
    WebViewModule::instance(nullptr)->load(m_view, url);
}

bool WebBrowser::canBeSeen() const
{
    const QWidget *parent = parentWidget();
    return !parent || parent->rect().intersects(geometry());
}
