#include "player/PlayerBackend.h"
#include "player/MpvBackend.h"
#include "platform/ComponentFailure.h"

namespace {
PlayerBackend::Factory &factory()
{
    static PlayerBackend::Factory f;
    return f;
}
} // namespace

PlayerBackend *PlayerBackend::create()
{
    PlayerBackend *backend = factory() ? factory()() : new MpvBackend;
    if (const QString error = backend->startError(); !error.isEmpty())
        ComponentFailure::report(tr("de mediaspeler (libmpv)"), error);
    return backend;
}

void PlayerBackend::setFactory(Factory f) { factory() = std::move(f); }
