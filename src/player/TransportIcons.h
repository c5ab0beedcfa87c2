#pragma once
#include <QIcon>

// Light icons for the player's dark transport bar, drawn rather than taken
// from the desktop theme (which may have none, or dark ones).
namespace TransportIcons {
enum Kind { Play, Pause, Stop, Sound, Muted };
QIcon icon(Kind kind);
} // namespace TransportIcons
