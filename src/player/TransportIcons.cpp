#include "player/TransportIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace TransportIcons {

QIcon icon(Kind kind)
{
    QPixmap pixmap(28, 28);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(225, 225, 230));
    switch (kind) {
    case Play: {
        QPainterPath path;
        path.moveTo(8, 5);
        path.lineTo(23, 14);
        path.lineTo(8, 23);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case Pause:
        p.drawRect(7, 6, 5, 16);
        p.drawRect(16, 6, 5, 16);
        break;
    case Stop:
        p.drawRect(7, 7, 14, 14);
        break;
    case Sound:
    case Muted: {
        QPainterPath speaker;
        speaker.moveTo(4, 10);
        speaker.lineTo(9, 10);
        speaker.lineTo(15, 5);
        speaker.lineTo(15, 23);
        speaker.lineTo(9, 18);
        speaker.lineTo(4, 18);
        speaker.closeSubpath();
        p.drawPath(speaker);
        QPen pen(QColor(225, 225, 230), 2);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        if (kind == Sound) {
            p.drawArc(QRectF(12, 8, 8, 12), -60 * 16, 120 * 16);
            p.drawArc(QRectF(12, 4, 13, 20), -60 * 16, 120 * 16);
        } else {
            pen.setColor(QColor(230, 80, 70));
            p.setPen(pen);
            p.drawLine(18, 10, 25, 18);
            p.drawLine(25, 10, 18, 18);
        }
        break;
    }
    }
    return QIcon(pixmap);
}

} // namespace TransportIcons
