#include "player/PlayerLog.h"

#include <QWidget>

Q_LOGGING_CATEGORY(lcPlayer, "kijkraam.player", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFrames, "kijkraam.player.frames", QtWarningMsg)

namespace {
// "<window>/<player> <what>"
QString line(const QWidget *player, const QString &what)
{
    const QWidget *window = player ? player->window() : nullptr;
    return QStringLiteral("%1/%2 %3")
        .arg(window ? window->objectName() : QString(), player ? player->objectName() : QString(), what);
}
} // namespace

void PlayerLog::playState(const QWidget *player, PlayState state)
{
    qCDebug(lcPlayer).noquote() << line(player, QStringLiteral("playState %1").arg(int(state)));
}

void PlayerLog::status(const QWidget *player, const QString &text)
{
    // One line per change, however the text reads.
    QString shown = text;
    shown.replace(u'\n', u' ');
    qCDebug(lcPlayer).noquote() << line(player, QStringLiteral("status ") + shown);
}

void PlayerLog::frames(const QWidget *player, const FrameCounts &counts)
{
    qCDebug(lcFrames).noquote() << line(player,
                                        QStringLiteral("frames rendered %1 shown %2 dropped %3 decoder-dropped %4")
                                            .arg(counts.rendered)
                                            .arg(counts.shown)
                                            .arg(counts.dropped)
                                            .arg(counts.decoderDropped));
}
