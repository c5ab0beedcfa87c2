#pragma once
// The play states a player reports through playState, with the numbers of the
// classic Windows Media Player control (3 is playing).
#include <QObject>

struct PlayStates {
    Q_GADGET
public:
    enum PlayState {
        Undefined = 0,
        Stopped = 1,
        Paused = 2,
        Playing = 3,
        Buffering = 6,
        MediaEnded = 8,
        Transitioning = 9,
        Ready = 10,
        Reconnecting = 11,
    };
    Q_ENUM(PlayState)
};
