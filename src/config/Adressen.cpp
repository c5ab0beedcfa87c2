#include "config/Adressen.h"

Adressen::Adressen() : Form(QStringLiteral("Adressen"))
{
    setWindowTitle(QStringLiteral("Streams"));
    setDesign(5670, 2760, Frame::FixedSingle, false, false);
}
