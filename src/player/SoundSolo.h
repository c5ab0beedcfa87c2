#pragma once
// "One sound at a time": which players of a window sound. Needs no display.
//
// "Alleen dit geluid" on a player turns its sound on and mutes every other
// player of its window; chosen again on that player, every player sounds
// again. A player's own mute button changes only that player; the solo ends
// as soon as it no longer holds (the soloed player muted, or another player
// given its sound back), so the mark never shows a solo that is not there.
// A player keeps its muted state through new streams, reconnections, stop
// and play: nothing here depends on what plays.
#include <QList>

namespace SoundSolo {

struct Players {
    QList<bool> muted; // per player of the window
    int soloed = -1;   // the player whose sound alone is on; -1: none
    bool operator==(const Players &o) const { return muted == o.muted && soloed == o.soloed; }
};

// Whether a solo is on and true: the soloed player sounds, all others are muted.
bool holds(const Players &players);

// "Alleen dit geluid" chosen on player `chosen`.
Players solo(const Players &players, int chosen);

// Player `index` muted or unmuted by its own button.
Players mute(const Players &players, int index, bool muted);

} // namespace SoundSolo
