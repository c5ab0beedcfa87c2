#include "stream/StreamWindow.h"

StreamWindow::StreamWindow(int slot) : Form(QStringLiteral("Stream%1").arg(slot)), m_slot(slot)
{
    setWindowTitle(objectName());
    setDesign(5880, 4800, Frame::FixedSingle, true, false);
}
