#include "common/Labels.h"
#include "platform/Form.h"

#include <QLabel>

namespace Labels {

QFont font(const QString &family, double points, bool bold, bool italic)
{
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QLabel *caption(QWidget *parent, const char *name, const QString &text, const QFont &font, const QColor &textColour,
                const QColor &background, Qt::Alignment alignment)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    if (background.isValid())
        Form::fill(l, background);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, textColour);
    l->setPalette(pal);
    l->setAlignment(alignment);
    l->setFocusPolicy(Qt::NoFocus);
    return l;
}

QLabel *boldOnBlack(QWidget *parent, const char *name, const QString &text, double points, const QColor &textColour)
{
    return caption(parent, name, text, font(QStringLiteral("MS Sans Serif"), points, true), textColour, Qt::black);
}

} // namespace Labels
