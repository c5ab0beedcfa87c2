#pragma once
// The snapshot of a stream window: its picture goes to the clipboard, and
// from there either straight into a bitmap (autosave "Ja"; beside the program,
// or in the user's pictures for an installed program) or into the one snapshot
// preview window.
#include <QDateTime>
#include <QImage>
#include <QString>

class QWidget;

namespace SnapshotCapture {

// What a click on a stream window's snapshot button does: clear the
// clipboard, put the window's picture on it, handle pending events once,
// then save the clipboard picture (autosave exactly "Ja") or open the
// snapshot window. Nothing is reported; a failed save writes nothing.
void takeSnapshot(QWidget *streamWindow, int slot, const QString &autosave);

// The window as the user sees it, menu bar and rendered video included.
QImage windowPicture(QWidget *window);

// Write `picture` as the slot's automatic snapshot of time `now` in `dir`.
// A name that is taken gets "_2", "_3", ... before ".bmp": an automatic
// snapshot never replaces a file. Returns the path written, or an empty
// text when nothing was written (no picture, directory not writable).
QString saveAutomatic(const QImage &picture, int slot, const QString &dir, const QDateTime &now);

} // namespace SnapshotCapture
