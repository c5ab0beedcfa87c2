#pragma once
#include <QWidget>

class QWebEnginePage;
class QWebEngineView;

// The embedded web browser: starts with no page and shows what Navigate asks
// for. A browser engine that cannot start (its render process fails to
// launch, or ends abnormally before any page of the program has finished
// loading) is reported as a component failure: the program cannot run
// without it. Once a page has loaded, a render process that ends is only
// that page's trouble: the browser stays as it is.
class WebBrowser : public QWidget {
    Q_OBJECT
public:
    explicit WebBrowser(QWidget *parent = nullptr);

    void Navigate(const QString &url);
    QString LocationURL() const { return m_location; }
    QWebEngineView *view() const { return m_view; } // null until the first page
    // The page the browser loads into (the view's, or one without a view
    // for a browser outside its window); null until the first page. Tests
    // reach its render process through it.
    QWebEnginePage *page() const;

    // Whether a page of this process has finished loading: the engine runs.
    static bool engineStarted();

signals:
    void navigated(const QString &url);
    void loadFinished(bool ok);

private:
    bool canBeSeen() const;
    void watch(QWebEnginePage *page);

    QWebEngineView *m_view = nullptr;
    QWebEnginePage *m_page = nullptr; // a browser that lies outside its window
    QString m_location;
};
