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
    Forms::registerFactory(WindowKey::Main, [] { return new Form1; });
    Forms::registerFactory(WindowKey::About, [] { return new Form2; });
    Forms::registerFactory(WindowKey::Row, [] { return new LayoutWindow(true); });
    Forms::registerFactory(WindowKey::Column, [] { return new LayoutWindow(false); });
    for (int slot = 1; slot <= 4; ++slot)
        Forms::registerFactory(WindowKeys::stream(slot), [slot] { return new StreamWindow(slot); });
    Forms::registerFactory(WindowKey::Snapshot, [] { return new SnapshotWindow; });
    Forms::registerFactory(WindowKey::Options, [] { return new Opties; });
    Forms::registerFactory(WindowKey::StreamAddresses, [] { return new Adressen; });
}
