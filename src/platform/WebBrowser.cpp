#include "platform/WebBrowser.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

WebBrowser::WebBrowser(QWidget *parent) : QWidget(parent), m_view(new QWebEngineView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    // An empty browser shows the window's black rather than a white sheet.
    m_view->page()->setBackgroundColor(Qt::black);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    connect(m_view, &QWebEngineView::loadFinished, this, &WebBrowser::loadFinished);
}

void WebBrowser::Navigate(const QString &url)
{
    m_location = url;
    m_view->load(QUrl(url));
    emit navigated(url);
}
