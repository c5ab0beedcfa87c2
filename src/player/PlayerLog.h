#pragma once
// The players' log lines, for people and for the benchmark, which reads
// them (the format is stable), all named by window and player:
//   kijkraam.player         <window>/<player> playState <n>
//                           <window>/<player> status <text as shown>
//   kijkraam.player.frames  <window>/<player> frames rendered <n> shown <n> dropped <n> decoder-dropped <n>
// Each category is off unless enabled (QT_LOGGING_RULES="kijkraam.player.debug=true").
#include <QLoggingCategory>

class QWidget;

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)
Q_DECLARE_LOGGING_CATEGORY(lcFrames)

namespace PlayerLog {
// "<window>/<player> <what>" for the player widget `player`.
QString line(const QWidget *player, const QString &what);
void playState(const QWidget *player, int state);
void status(const QWidget *player, const QString &text);
void frames(const QWidget *player, const QString &counts);
} // namespace PlayerLog
