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

void SnapshotButton::placed() { setGeometry(pixelRect()); }

void SnapshotButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // A pressed button darkens a little, so the click is felt.
    painter.setBrush(isDown() ? QColor(176, 0, 0) : QColor(255, 0, 0));
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

bool SnapshotButton::hitButton(const QPoint &pos) const { return rect().contains(pos); }
