#pragma once
// The system clipboard as the program uses it: clear it, put a picture on
// it, take the picture back in the platform's default image format.
#include <QImage>

namespace Clipboard {
void clear();
void setPicture(const QImage &picture);
// The picture on the clipboard; a null image when it holds none.
QImage picture();
} // namespace Clipboard
