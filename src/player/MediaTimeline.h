#pragma once
// What the decoder's position reports say about what plays: a file with a
// length of its own, or a live stream. Needs no display and no decoder.
//
// Seekability and a length alone do not tell: live MMS (Windows Media)
// streams are reported seekable with a length that grows as they play, just
// ahead of the position, and endless HTTP, HLS and RTSP streams report a
// length that grows too. A file's length stays put while it plays. So:
//   live  the media cannot be sought, or has no length, or its length grew
//         by more than GrowthSeconds while it played;
//   file  it can be sought and its length stayed put while at least
//         SettleSeconds of it played;
//   unknown otherwise (just opened).
#include <QtGlobal>

class MediaTimeline {
public:
    enum class Kind { Unknown, File, Live };

    static constexpr double GrowthSeconds = 1.0;
    static constexpr double SettleSeconds = 3.0;

    void reset() { *this = MediaTimeline(); }
    // One report of the decoder: position and length in seconds (0: none),
    // and whether it can seek.
    void report(double position, double duration, bool seekable);

    Kind kind() const;
    // A position slider makes sense only for a file.
    bool showsPosition() const { return kind() == Kind::File; }
    // Whether media that stopped after `playedMs` of playing ended as a
    // file ends: not live, sought or seekable to its length, stopped within
    // two seconds of it, after about that much playing (a file that took far
    // longer than its length to reach it kept stalling: it was dropped).
    bool reachedItsEnd(qint64 playedMs) const;

    double position() const { return m_position; }
    double duration() const { return m_duration; }

private:
    double m_position = 0, m_duration = 0;
    bool m_seekable = false;
    bool m_reported = false;    // a report with a position came
    double m_firstDuration = 0; // the first length reported
    double m_positionAtFirstDuration = 0;
    bool m_grew = false;
};
