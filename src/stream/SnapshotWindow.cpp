#include "stream/SnapshotWindow.h"

SnapshotWindow::SnapshotWindow() : Form(QStringLiteral("Snapshot"))
{
    setWindowTitle(QStringLiteral("Snapshot"));
    setDesign(6345, 5775, Frame::Sizable, true, true);
}
