#pragma once
// The labels of the windows: a caption in a font of the window design, in
// a text colour, on an opaque background or transparent, never taking the
// keyboard focus.
#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

namespace Labels {

// A font as the window design names it. Windows families map to free fonts
// with the same metrics (Application::substituteFonts).
QFont font(const QString &family, double points, bool bold = false, bool italic = false);

// A label; an invalid `background` leaves it transparent.
QLabel *caption(QWidget *parent, const char *name, const QString &text, const QFont &font, const QColor &textColour,
                const QColor &background = QColor(), Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop);

// The bold "MS Sans Serif" labels on black of the options, addresses and
// snapshot windows.
QLabel *boldOnBlack(QWidget *parent, const char *name, const QString &text, double points, const QColor &textColour);

} // namespace Labels
