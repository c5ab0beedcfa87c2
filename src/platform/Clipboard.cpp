#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace Clipboard {

void clear()
{
    if (QClipboard *board = QGuiApplication::clipboard())
        board->clear();
}

void setPicture(const QImage &picture)
{
    if (QClipboard *board = QGuiApplication::clipboard())
        board->setImage(picture);
}

QImage picture()
{
    QClipboard *board = QGuiApplication::clipboard();
    return board ? board->image() : QImage();
}

} // namespace Clipboard
