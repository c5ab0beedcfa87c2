#pragma once
// The players' log lines, for people, the tests and the benchmark, which
// read them (the format is stable). This unit writes every one of them, each
// named by window and player (their objectNames):
//   kijkraam.player         <window>/<player> playState <n>
//                           <window>/<player> status <text as shown>
//   kijkraam.player.frames  <window>/<player> frames rendered <n> shown <n> dropped <n> decoder-dropped <n>
// <n> of playState is the PlayState's number (3: playing), written at every
// change; a status is the text the player shows, on one line (line breaks
// become spaces), written at every change; frames are the video surface's
// and the decoder's counters, written when one of them changed.
// Each category is off unless enabled (QT_LOGGING_RULES="kijkraam.player.debug=true").
#include "player/PlayState.h"

#include <QLoggingCategory>

class QWidget;

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)
Q_DECLARE_LOGGING_CATEGORY(lcFrames)

namespace PlayerLog {

struct FrameCounts {
    quint64 rendered = 0, shown = 0;        // by the video surface
    qint64 dropped = 0, decoderDropped = 0; // by the decoder
    bool operator==(const FrameCounts &o) const
    {
        return rendered == o.rendered && shown == o.shown && dropped == o.dropped && decoderDropped == o.decoderDropped;
    }
};

// For the player widget `player`.
void playState(const QWidget *player, PlayState state);
void status(const QWidget *player, const QString &text);
void frames(const QWidget *player, const FrameCounts &counts);

} // namespace PlayerLog
