#include "app/FormCatalog.h"
#include "app/Form1.h"
#include "common/Form2.h"
#include "config/Adressen.h"
#include "config/Opties.h"
#include "layouts/LayoutWindow.h"
#include "platform/Forms.h"
#include "stream/SnapshotWindow.h"
#include "stream/StreamWindow.h"

void registerAllForms()
{
    Forms::registerFactory(QStringLiteral("Form1"), [] { return new Form1; });
    Forms::registerFactory(QStringLiteral("Form2"), [] { return new Form2; });
    Forms::registerFactory(QStringLiteral("Horizontaal"), [] { return new LayoutWindow(true); });
    Forms::registerFactory(QStringLiteral("verticaal"), [] { return new LayoutWindow(false); });
    for (int slot = 1; slot <= 4; ++slot)
        Forms::registerFactory(QStringLiteral("Stream%1").arg(slot), [slot] { return new StreamWindow(slot); });
    Forms::registerFactory(QStringLiteral("Snapshot"), [] { return new SnapshotWindow; });
    Forms::registerFactory(QStringLiteral("Opties"), [] { return new Opties; });
    Forms::registerFactory(QStringLiteral("Adressen"), [] { return new Adressen; });
}
