#pragma once
#include <QPointer>
#include <QWidget>

class QNetworkReply;
class QUrl;

// The embedded web browser: starts with no page and shows what Navigate asks
// for. A browser that lies outside its window is never seen: it asks for
// its page as a browser does (the same request, cookies of this session) but
// runs nothing of it, without a browser engine. A browser that can be seen
// shows its page through Qt WebEngine, loaded on first use. An engine that
// cannot start (its module missing, its render process failing to launch or
// ending abnormally before any page of the program has finished loading) is
// reported as a component failure: the program cannot show pages without it.
// Once a page has loaded, a render process that ends is only that page's
// trouble: the browser stays as it is.
class WebBrowser : public QWidget {
    Q_OBJECT
public:
    explicit WebBrowser(QWidget *parent = nullptr);
    ~WebBrowser() override;

    void Navigate(const QString &url);
    QString LocationURL() const { return m_location; }
    // The view that shows the page; null until the first page is shown,
    // and for a browser outside its window.
    QWidget *view() const { return m_view; }

    // Whether a page of this process has finished loading in the engine:
    // the engine runs.
    static bool engineStarted();

signals:
    void loadFinished(bool ok);

private:
    bool canBeSeen() const;
    void fetch(const QUrl &url);
    void abandonFetch(); // the page still coming is no longer wanted
    // Navigate's page in the engine's view, the view created and shown on
    // first use. (Not show(): that would hide QWidget::show().)
    void showPage(const QUrl &url);

    QWidget *m_view = nullptr;
    QPointer<QNetworkReply> m_fetch; // the page of a browser outside its window, while it comes
    QString m_location;
};
