#include "stream/SnapshotCapture.h"
#include "platform/Clipboard.h"
#include "platform/DataPlaces.h"
#include "platform/Forms.h"
#include "player/PlayerFrame.h"
#include "settings/SettingKeys.h"
#include "stream/BitmapFile.h"
#include "stream/SnapshotNames.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

namespace SnapshotCapture {

QImage windowPicture(QWidget *window)
{
    if (!window)
        return QImage();
    // grab() renders the widgets, and the video surfaces (OpenGL widgets)
    // contribute their framebuffer, so the picture shows the video itself.
    // The focus ring and the solo mark belong to the screen, not the picture.
    const PlayerFrame::HiddenIn marks(window);
    return window->grab().toImage();
}

QString saveAutomatic(const QImage &picture, int slot, const QString &dir, const QDateTime &now)
{
    if (picture.isNull())
        return QString();
    return BitmapFile::writeNew(picture, dir, [&](int copy) { return SnapshotNames::path(dir, slot, now, copy); });
}

void takeSnapshot(QWidget *streamWindow, int slot, const QString &autosave)
{
    // 1. Whatever was on the clipboard goes.
    Clipboard::clear();
    // 2. The picture of the clicked window takes its place.
    Clipboard::setPicture(windowPicture(streamWindow));
    // 3. One pass of pending events, without waiting.
    QCoreApplication::processEvents();

    if (autosave == SettingKeys::Yes) {
        // 4. Straight into a bitmap beside the program, or in the user's
        // pictures when the program cannot keep files beside itself.
        const DataPlaces::Place place = DataPlaces::snapshots();
        DataPlaces::prepare(place);
        saveAutomatic(Clipboard::picture(), slot, place.dir, QDateTime::currentDateTime());
    } else {
        // 5. The preview window; an open one only comes forward and keeps
        // the picture it took when it was created.
        Forms::show(WindowKey::Snapshot);
    }
}

} // namespace SnapshotCapture
