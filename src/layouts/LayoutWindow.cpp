#include "layouts/LayoutWindow.h"

LayoutWindow::LayoutWindow(bool horizontal)
    : Form(horizontal ? QStringLiteral("Horizontaal") : QStringLiteral("verticaal"))
{
    setWindowTitle(QStringLiteral("Kijkraam 2005"));
    if (horizontal)
        setDesign(11070, 2535, Frame::FixedSingle, false, false);
    else
        setDesign(2775, 10095, Frame::FixedSingle, false, false);
}
