#pragma once
// Writing a picture as a Windows bitmap (.bmp) file. The data always goes
// to a temporary file beside the target first and only a complete file gets
// the target's name, so a failed write never leaves a partial bitmap.
#include <QImage>
#include <QString>
#include <functional>

namespace BitmapFile {

// Write `picture` to `path`, replacing a file that is there. False when the
// picture is empty or the file cannot be written.
bool write(const QImage &picture, const QString &path);

// Write `picture` under the first name of nameFor(1), nameFor(2), ... that
// is not taken, in `dir`; an existing file is never replaced, not even one
// that appears while we write. Returns the path written, or an empty text
// when nothing was written.
QString writeNew(const QImage &picture, const QString &dir, const std::function<QString(int copy)> &nameFor);

} // namespace BitmapFile
