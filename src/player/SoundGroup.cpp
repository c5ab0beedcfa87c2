#include "player/SoundGroup.h"
#include "player/SoundSolo.h"
#include "player/WindowsMediaPlayer.h"

#include <QPointer>

namespace {

QWidget *hostWindow(const WindowsMediaPlayer *player)
{
    return player->parentWidget() ? player->parentWidget()->window() : nullptr;
}

// Which player of a window has the solo, kept as a child of the window.
class SoloHolder : public QObject {
public:
    explicit SoloHolder(QObject *window) : QObject(window) { setObjectName(QStringLiteral("soundSolo")); }
    static SoloHolder *of(const WindowsMediaPlayer *player, bool create)
    {
        QWidget *window = hostWindow(player);
        if (!window)
            return nullptr;
        for (QObject *child : window->children())
            if (auto *holder = dynamic_cast<SoloHolder *>(child))
                return holder;
        return create ? new SoloHolder(window) : nullptr;
    }
    QPointer<QObject> soloed;
};

// The players' sound as the rules see it.
SoundSolo::Players soundOf(const QList<WindowsMediaPlayer *> &players, const SoloHolder *holder)
{
    SoundSolo::Players state;
    for (WindowsMediaPlayer *p : players)
        state.muted << p->mute();
    state.soloed = holder ? int(players.indexOf(qobject_cast<WindowsMediaPlayer *>(holder->soloed))) : -1;
    return state;
}

// What the rules decided, onto the players and the window's holder.
void apply(const QList<WindowsMediaPlayer *> &players, SoloHolder *holder, const SoundSolo::Players &next)
{
    if (holder)
        holder->soloed = next.soloed >= 0 ? players.at(next.soloed) : nullptr;
    for (int i = 0; i < players.size(); ++i)
        players[i]->applySound(next.muted.at(i));
}

} // namespace

namespace SoundGroup {

QList<WindowsMediaPlayer *> playersBeside(const WindowsMediaPlayer *player)
{
    QWidget *host = hostWindow(player);
    if (!host)
        return {const_cast<WindowsMediaPlayer *>(player)};
    return host->findChildren<WindowsMediaPlayer *>();
}

bool isSoloed(const WindowsMediaPlayer *player)
{
    const SoloHolder *holder = SoloHolder::of(player, false);
    return holder && holder->soloed == player;
}

void solo(WindowsMediaPlayer *player)
{
    const QList<WindowsMediaPlayer *> players = playersBeside(player);
    SoloHolder *holder = SoloHolder::of(player, true);
    apply(players, holder, SoundSolo::solo(soundOf(players, holder), int(players.indexOf(player))));
}

void setMute(WindowsMediaPlayer *player, bool mute)
{
    SoloHolder *holder = SoloHolder::of(player, false);
    if (!holder || !holder->soloed) {
        player->applySound(mute);
        return;
    }
    const QList<WindowsMediaPlayer *> players = playersBeside(player);
    apply(players, holder, SoundSolo::mute(soundOf(players, holder), int(players.indexOf(player)), mute));
}

} // namespace SoundGroup
