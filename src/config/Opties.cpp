#include "config/Opties.h"

Opties::Opties() : Form(QStringLiteral("Opties"))
{
    setWindowTitle(QStringLiteral("Opties"));
    setDesign(6525, 3675, Frame::FixedSingle, false, false);
}
