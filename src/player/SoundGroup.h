#pragma once
// "One sound at a time" among the players of one window: the window keeps
// which player has the solo (so the choice lasts while the window does),
// and the rules of SoundSolo decide who sounds after each choice.
#include <QList>

class QWidget;
class WindowsMediaPlayer;

namespace SoundGroup {

// The players of `player`'s window, itself included, in a fixed order. A
// full-screen player is a window of its own; its window is still its
// parent's.
QList<WindowsMediaPlayer *> playersBeside(const WindowsMediaPlayer *player);

// Whether `player` has the solo of its window.
bool isSoloed(const WindowsMediaPlayer *player);

// "Alleen dit geluid" chosen on `player`: the muted state of every player of
// its window, and their marks, follow.
void solo(WindowsMediaPlayer *player);

// `player`'s own mute button: mutes or unmutes it; a solo that no longer
// holds ends, and the marks say so.
void setMute(WindowsMediaPlayer *player, bool mute);

} // namespace SoundGroup
