#include "player/SoundSolo.h"

namespace SoundSolo {

bool holds(const Players &players)
{
    if (players.soloed < 0 || players.soloed >= players.muted.size())
        return false;
    for (int i = 0; i < players.muted.size(); ++i)
        if (players.muted.at(i) != (i != players.soloed))
            return false;
    return true;
}

Players solo(const Players &players, int chosen)
{
    Players next = players;
    if (chosen < 0 || chosen >= players.muted.size())
        return next;
    const bool undo = players.soloed == chosen;
    for (int i = 0; i < next.muted.size(); ++i)
        next.muted[i] = !undo && i != chosen;
    next.soloed = undo ? -1 : chosen;
    return next;
}

Players mute(const Players &players, int index, bool muted)
{
    Players next = players;
    if (index < 0 || index >= players.muted.size())
        return next;
    next.muted[index] = muted;
    if (!holds(next))
        next.soloed = -1;
    return next;
}

} // namespace SoundSolo
