#pragma once
// The one vocabulary of playing. A player's playState is one of these, with
// the numbers of the classic Windows Media Player control (3 is playing)
// that the windows, the tests and the log line "playState <n>" use. A
// decoder (PlayerBackend) reports the few it knows: Undefined (nothing
// loaded), Transitioning (opening), Buffering, Playing and Paused.
enum class PlayState : int {
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

// Playing, or waiting for data while it plays: what pause acts on, and what
// the transport bar shows as running.
constexpr bool isRunning(PlayState state) { return state == PlayState::Playing || state == PlayState::Buffering; }
