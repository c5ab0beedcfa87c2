#include "platform/Form.h"
#include "platform/Twips.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>

Form::Form(const QString &name, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);
}

Form::~Form() = default;

void Form::setDesign(double clientWidthTw, double clientHeightTw, Frame frame,
                     bool minimizeButton, bool maximizeButton)
{
    m_frame = frame;
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                            | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;
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
    return QSizeF(Twips::fromPx(frame.left() + frame.right()),
                  Twips::fromPx(frame.top() + frame.bottom() + menuPx));
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
    // Known only once the window is shown (and a window manager frames it).
    QWindow *w = windowHandle();
    return w && isVisible() ? w->frameMargins() : QMargins();
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
    const QSize size(qMax(1, Twips::toPx(m_clientTw.width())),
                     qMax(1, Twips::toPx(m_clientTw.height())) + menuPx);
    if (m_frame == Frame::FixedSingle) {
        setFixedSize(size);
    } else {
        resize(size);
    }
}

void Form::placeClientAtTw(double leftTw, double topTw)
{
    m_hasPosition = true;
    m_clientPosTw = QPointF(leftTw, topTw);
    const QMargins frame = frameMarginsPx();
    const int menuPx = menuHeightPx();
    // move() places the frame; the client area lies inside frame and menu bar.
    move(Twips::toPx(leftTw) - frame.left(), Twips::toPx(topTw) - frame.top() - menuPx);
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

void Form::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The window manager tells the frame's size only once the window is
    // mapped: then re-apply outer sizes asked for and the design position.
    auto refit = [this] {
        // The design position is that of the client area: the frame was
        // not known when the window was placed.
        if (m_hasPosition && !m_positioned && windowHandle()
            && !windowHandle()->frameMargins().isNull()) {
            m_positioned = true;
            placeClientAtTw(m_clientPosTw.x(), m_clientPosTw.y());
        }
        if (m_pinnedOuterW >= 0 || m_pinnedOuterH >= 0) {
            const double w = m_pinnedOuterW, h = m_pinnedOuterH;
            if (w >= 0) m_clientTw.setWidth(w - nonClientTw().width());
            if (h >= 0) m_clientTw.setHeight(h - nonClientTw().height());
            applySize();
        }
    };
    refit();
    QTimer::singleShot(0, this, refit);
}

void Form::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit unloaded(objectName());
}
