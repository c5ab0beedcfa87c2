#include "player/MediaTimeline.h"

void MediaTimeline::report(double position, double duration, bool seekable)
{
    m_position = position;
    m_duration = duration;
    m_seekable = seekable;
    m_reported = true;
    if (duration <= 0)
        return;
    if (m_firstDuration <= 0) {
        m_firstDuration = duration;
        m_positionAtFirstDuration = position;
    } else if (duration > m_firstDuration + GrowthSeconds) {
        m_grew = true; // sticky: a file does not grow
    }
}

MediaTimeline::Kind MediaTimeline::kind() const
{
    if (m_grew)
        return Kind::Live;
    if (!m_reported)
        return Kind::Unknown;
    if (!m_seekable || m_duration <= 0)
        return Kind::Live;
    if (m_position - m_positionAtFirstDuration >= SettleSeconds)
        return Kind::File;
    return Kind::Unknown;
}

bool MediaTimeline::reachedItsEnd(qint64 playedMs) const
{
    if (kind() == Kind::Live || !m_seekable || m_duration <= 0 || m_position < m_duration - 2.0)
        return false;
    return playedMs <= qint64((m_duration + 10.0) * 1000);
}
