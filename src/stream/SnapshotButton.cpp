#include "stream/SnapshotButton.h"
#include "platform/Form.h"

#include <QPainter>

SnapshotButton::SnapshotButton(QWidget *parent) : QAbstractButton(parent)
{
    // Only the disc is painted; the video shows through around it.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize SnapshotButton::sizeHint() const { return QSize(20, 21); }

void SnapshotButton::setLeft(double tw)
{
    m_geomTw[0] = tw;
    applyGeometry();
}

void SnapshotButton::setTop(double tw)
{
    m_geomTw[1] = tw;
    applyGeometry();
}

void SnapshotButton::placeTw(double left, double top, double width, double height)
{
    m_geomTw[0] = left;
    m_geomTw[1] = top;
    m_geomTw[2] = width;
    m_geomTw[3] = height;
    applyGeometry();
}

void SnapshotButton::applyGeometry()
{
    Form::placeTw(this, m_geomTw[0], m_geomTw[1], m_geomTw[2], m_geomTw[3]);
}

void SnapshotButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // A pressed button darkens a little, so the click is felt.
    painter.setBrush(isDown() ? QColor(176, 0, 0) : QColor(255, 0, 0));
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

bool SnapshotButton::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}
