#include "platform/WebBrowser.h"

#include <QPalette>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

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
                connect(m_page, &QWebEnginePage::loadFinished, this, &WebBrowser::loadFinished);
            }
            m_page->load(QUrl(url));
            return;
        }
        if (!m_view) {
            m_view = new QWebEngineView(this);
            m_view->page()->setBackgroundColor(Qt::black);
            m_view->setContextMenuPolicy(Qt::NoContextMenu);
            layout()->addWidget(m_view);
            connect(m_view, &QWebEngineView::loadFinished, this, &WebBrowser::loadFinished);
        }
        m_view->load(QUrl(url));
    });
}

bool WebBrowser::canBeSeen() const
{
    const QWidget *parent = parentWidget();
    return !parent || parent->rect().intersects(geometry());
}
