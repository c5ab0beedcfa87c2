#include "player/PlayerBackend.h"
#include "player/MpvBackend.h"

namespace {
PlayerBackend::Factory &factory()
{
    static PlayerBackend::Factory f;
    return f;
}
} // namespace

PlayerBackend *PlayerBackend::create()
{
    if (factory())
        return factory()();
    return new MpvBackend;
}

void PlayerBackend::setFactory(Factory f) { factory() = std::move(f); }
