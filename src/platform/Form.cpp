#include "platform/Form.h"
#include "platform/Twips.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

xcb_atom_t atomNamed(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name),
                                                           nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The values of a window's 32-bit property of that type.
QList<quint32> property32(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                          uint32_t maxValues)
{
    QList<quint32> values;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, type, 0, maxValues), nullptr);
    if (reply && reply->type == type && reply->format == 32) {
        const auto *data = static_cast<const quint32 *>(xcb_get_property_value(reply));
        values = QList<quint32>(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

// The frame an X11 window manager will draw around `window`, asked for
// before the window is mapped (_NET_REQUEST_FRAME_EXTENTS): only then can
// the window get its outer size before it appears. Empty where there is no
// X11 window manager that answers such a request.
QMargins announcedFrame(QWindow *window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c || !window)
        return QMargins();
    const auto id = xcb_window_t(window->winId());
    xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr);
    if (!geometry)
        return QMargins();
    const xcb_window_t root = geometry->root;
    std::free(geometry);
    const xcb_atom_t request = atomNamed(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atomNamed(c, "_NET_FRAME_EXTENTS");
    if (!property32(c, root, atomNamed(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 4096).contains(request))
        return QMargins();

    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(c);
    // The window manager answers by setting the property, normally within
    // a millisecond; one that does not answer costs this much once per window.
    QElapsedTimer waited;
    waited.start();
    do {
        const QList<quint32> v = property32(c, id, extents, XCB_ATOM_CARDINAL, 4);
        if (v.size() == 4) // left, right, top, bottom
            return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
        QThread::usleep(500);
    } while (waited.elapsed() < 100);
    return QMargins();
}

// Wait until the window system has given the unmapped `window` its new
// size. A window manager handles the resize of a top-level window; the
// window is mapped only after it did, so that it appears at that size.
void awaitServerSize(QWindow *window, const QSize &size)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    const QSize wanted = size * window->devicePixelRatio();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(
            c, xcb_get_geometry(c, xcb_window_t(window->winId())), nullptr);
        const bool done = !geometry || QSize(geometry->width, geometry->height) == wanted;
        std::free(geometry);
        if (done || waited.elapsed() >= 100)
            return;
        QThread::usleep(500);
    }
}

} // namespace

Form::Form(const QString &name, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);
}

Form::~Form() = default;

void Form::setDesign(double clientWidthTw, double clientHeightTw, Frame frame, bool minimizeButton, bool maximizeButton)
{
    m_frame = frame;
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                            | Qt::CustomizeWindowHint;
    if (minimizeButton)
        flags |= Qt::WindowMinimizeButtonHint;
    if (maximizeButton)
        flags |= Qt::WindowMaximizeButtonHint;
    setWindowFlags(flags);
    setClientSizeTw(clientWidthTw, clientHeightTw);
}

void Form::setClientSizeTw(double widthTw, double heightTw)
{
    m_clientTw = QSizeF(widthTw, heightTw);
    m_pinnedOuterW = m_pinnedOuterH = -1;
    applySize();
}

QSizeF Form::nonClientTw() const
{
    const int menuPx = menuHeightPx();
    const QMargins frame = frameMarginsPx();
    return QSizeF(Twips::fromPx(frame.left() + frame.right()), Twips::fromPx(frame.top() + frame.bottom() + menuPx));
}

int Form::menuHeightPx() const
{
    QWidget *menu = menuWidget();
    if (!menu || menu->isHidden())
        return 0;
    return menu->isVisible() ? menu->height() : menu->sizeHint().height();
}

QMargins Form::frameMarginsPx() const
{
    // Known only once the window is shown: from the window manager's
    // answer before it frames the window, from the frame itself afterwards.
    QWindow *w = windowHandle();
    if (!w || !isVisible())
        return QMargins();
    const QMargins drawn = w->frameMargins();
    return drawn.isNull() ? m_announcedFrame : drawn;
}

double Form::outerWidthTw() const { return m_clientTw.width() + nonClientTw().width(); }
double Form::outerHeightTw() const { return m_clientTw.height() + nonClientTw().height(); }

void Form::setOuterWidthTw(double tw)
{
    m_clientTw.setWidth(tw - nonClientTw().width());
    m_pinnedOuterW = tw;
    applySize();
}

void Form::setOuterHeightTw(double tw)
{
    m_clientTw.setHeight(tw - nonClientTw().height());
    m_pinnedOuterH = tw;
    applySize();
}

void Form::applySize()
{
    const int menuPx = menuHeightPx();
    const QSize size(qMax(1, Twips::toPx(m_clientTw.width())), qMax(1, Twips::toPx(m_clientTw.height())) + menuPx);
    if (m_frame == Frame::FixedSingle) {
        setFixedSize(size);
    } else {
        resize(size);
    }
}

void Form::placeClientAtTw(double leftTw, double topTw)
{
    m_hasPosition = true;
    // The place of the window's own area (the menu bar above the client
    // area), not of its frame: a window manager keeps that area where it was
    // asked to be whatever frame it draws (static gravity), so the place is
    // right from the start, also before the frame is known.
    setGeometry(QRect(QPoint(Twips::toPx(leftTw), Twips::toPx(topTw) - menuHeightPx()), size()));
}

void Form::placeTw(QWidget *control, double left, double top, double width, double height)
{
    control->setGeometry(Twips::toPx(left), Twips::toPx(top), qMax(0, Twips::toPx(width)),
                         qMax(0, Twips::toPx(height)));
}

void Form::fill(QWidget *control, const QColor &colour)
{
    control->setAutoFillBackground(true);
    QPalette pal = control->palette();
    pal.setColor(QPalette::Window, colour);
    control->setPalette(pal);
}

void Form::setTabChain(const QList<QWidget *> &controls)
{
    for (int i = 1; i < controls.size(); ++i)
        setTabOrder(controls[i - 1], controls[i]);
}

QPointF Form::frameTopLeftTw() const
{
    const QPoint corner = frameGeometry().topLeft();
    return QPointF(Twips::fromPx(corner.x()), Twips::fromPx(corner.y()));
}

QRectF Form::availableAreaTw() const
{
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return QRectF();
    const QRect avail = s->availableGeometry();
    return QRectF(Twips::fromPx(avail.x()), Twips::fromPx(avail.y()), Twips::fromPx(avail.width()),
                  Twips::fromPx(avail.height()));
}

double Form::menusWidthTw() const
{
    const QMenuBar *bar = qobject_cast<QMenuBar *>(menuWidget());
    if (!bar || bar->actions().isEmpty())
        return 0;
    const QRect first = bar->actionGeometry(bar->actions().first());
    const QRect last = bar->actionGeometry(bar->actions().last());
    return Twips::fromPx(last.right() + 1 + qMax(0, first.left()));
}

void Form::refit()
{
    // Outer sizes asked for hold the frame: the client area follows it.
    if ((m_pinnedOuterW < 0 && m_pinnedOuterH < 0) || !isVisible() || !windowHandle())
        return;
    // Shown but not yet mapped: ask the window manager which frame it will
    // draw, so that the window has its outer size when it appears. (Asked
    // before anything else reads the frame margins: the window system would
    // take the missing frame for none.)
    const bool asking = !m_frameAsked;
    if (asking) {
        m_frameAsked = true;
        m_announcedFrame = announcedFrame(windowHandle());
    }
    const QMargins frame = frameMarginsPx();
    if (!asking && frame == m_fittedFrame)
        return;
    m_fittedFrame = frame;
    const QSize before = size();
    if (m_pinnedOuterW >= 0)
        m_clientTw.setWidth(m_pinnedOuterW - nonClientTw().width());
    if (m_pinnedOuterH >= 0)
        m_clientTw.setHeight(m_pinnedOuterH - nonClientTw().height());
    applySize();
    if (asking && size() != before)
        awaitServerSize(windowHandle(), size());
}

void Form::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    refit();
    m_frameAsked = true; // only before the window first appears
}

void Form::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    // A window manager that framed the window without announcing the frame:
    // the outer size follows once the frame is there.
    refit();
}

void Form::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit unloaded(objectName());
}
