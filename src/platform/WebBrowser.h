#pragma once
#include <QWidget>

class QWebEnginePage;
class QWebEngineView;

// The embedded web browser: starts with no page and shows what Navigate asks for.
class WebBrowser : public QWidget {
    Q_OBJECT
public:
    explicit WebBrowser(QWidget *parent = nullptr);

    void Navigate(const QString &url);
    QString LocationURL() const { return m_location; }
    QWebEngineView *view() const { return m_view; } // null until the first page

signals:
    void navigated(const QString &url);
    void loadFinished(bool ok);

private:
    bool canBeSeen() const;

    QWebEngineView *m_view = nullptr;
    QWebEnginePage *m_page = nullptr; // a browser that lies outside its window
    QString m_location;
};
