#include "player/PlayerBackend.h"
#include "platform/ComponentFailure.h"
#include "player/MpvBackend.h"

Seam<PlayerBackend::Factory> PlayerBackend::factorySeam;

PlayerBackend *PlayerBackend::create()
{
    const Factory &factory = factorySeam.get();
    PlayerBackend *backend = factory ? factory() : new MpvBackend;
    if (const QString error = backend->startError(); !error.isEmpty())
        ComponentFailure::report(tr("de mediaspeler (libmpv)"), error);
    return backend;
}
