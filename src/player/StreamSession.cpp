#include "player/StreamSession.h"
#include "platform/Redaction.h"
#include "player/PlaylistSource.h"
#include "player/StatusReasons.h"

StreamSession::StreamSession(PlayerBackend *engine, PlaylistSource *source, SessionClock &clock,
                             const SessionTiming &timing, QObject *parent)
    : QObject(parent), m_engine(engine), m_source(source), m_clock(clock), m_timing(timing)
{
    m_openTimer = m_clock.makeTimer([this] { onOpenTimeout(); });
    m_stallTimer = m_clock.makeTimer([this] {
        if (m_engineActive)
            scheduleReconnect(tr("geen gegevens meer ontvangen"));
    });
    m_progressTimer = m_clock.makeTimer([this] { checkProgress(); });
    m_reconnectTimer = m_clock.makeTimer([this] { openEngine(); });
    connect(engine, &PlayerBackend::phaseChanged, this, &StreamSession::onPhase);
    connect(engine, &PlayerBackend::finished, this, &StreamSession::onFinished);
    connect(engine, &PlayerBackend::timeChanged, this, &StreamSession::onTime);
    connect(engine, &PlayerBackend::titleChanged, this, &StreamSession::onTitle);
    connect(source, &PlaylistSource::answered, this, &StreamSession::onAnswer);
}

StreamSession::~StreamSession()
{
    if (m_fetching && m_source)
        m_source->cancel();
    if (m_engineActive && m_engine)
        m_engine->stop();
    // The timers go with the session: no retry outlives it.
}

// ---- what the player asks ----------------------------------------------------

void StreamSession::setAddress(const QString &address, bool start)
{
    m_address = address;
    reset();
    if (address.isEmpty()) {
        setState(PlayState::Undefined);
        setStatus(tr("Geen adres"));
    } else if (start) {
        open();
    } else {
        setState(PlayState::Ready);
        setStatus(tr("Gereed"));
    }
}

void StreamSession::play()
{
    switch (m_state) {
    case PlayState::Paused:
        if (m_engineActive)
            m_engine->setPaused(false);
        return;
    case PlayState::Playing:
    case PlayState::Buffering:
    case PlayState::Transitioning:
        return;
    default:
        break;
    }
    if (!m_address.isEmpty())
        open();
}

void StreamSession::pause()
{
    if (isRunning(m_state) && m_engineActive)
        m_engine->setPaused(true);
}

void StreamSession::stop()
{
    reset();
    setState(PlayState::Stopped);
    setStatus(tr("Gestopt"));
}

void StreamSession::close()
{
    reset();
    setState(PlayState::Undefined);
    setStatus(tr("Gesloten"));
}

void StreamSession::reset()
{
    m_openTimer->stop();
    m_reconnectTimer->stop();
    stopWatching();
    if (m_source)
        m_source->cancel();
    if (m_engine)
        m_engine->stop();
    m_fetching = m_engineActive = false;
    m_walker.clear();
    m_current.clear();
    m_everPlayed = m_currentPlayed = false;
    m_reconnectAttempt = 0;
    m_timeline.reset();
    emit progressChanged(0, 0, false);
}

// ---- from an address to something the decoder opens ------------------------------

void StreamSession::open()
{
    reset();
    setState(PlayState::Transitioning);
    setConnecting(m_address.trimmed());
    m_walker.start(m_address);
    advance();
}

// Does what the walker says comes next.
void StreamSession::advance()
{
    const PlaylistWalker::Step step = m_walker.next();
    switch (step.kind) {
    case PlaylistWalker::Step::Fetch:
        m_fetching = true;
        m_fetchUrl = step.url;
        m_openTimer->start(m_timing.openTimeoutMs);
        m_source->fetch(step.url);
        return;
    case PlaylistWalker::Step::Open:
        m_current = step.address;
        m_currentPlayed = false;
        m_playedMs = 0;
        m_playingSince = -1;
        openEngine();
        return;
    case PlaylistWalker::Step::End:
        break;
    }
    // Nothing left to play.
    m_current.clear();
    if (m_everPlayed) {
        setState(PlayState::MediaEnded);
        setState(PlayState::Stopped);
        setStatus(tr("Afgelopen"));
    } else {
        failOpen(step.reason);
    }
}

void StreamSession::onAnswer(const FetchAnswer &answer)
{
    if (!m_fetching)
        return; // a fetch abandoned meanwhile
    m_fetching = false;
    m_openTimer->stop();
    m_walker.answered(answer);
    advance();
}

void StreamSession::openEngine()
{
    m_engineActive = true;
    m_title.clear(); // the decoder says again what a new try plays
    m_progressSeen = false;
    m_timeline.reset();
    emit progressChanged(0, 0, false);
    m_openTimer->start(m_timing.openTimeoutMs);
    m_engine->open(m_current);
}

// The decoder stops and no timer of this try runs on.
void StreamSession::endTry()
{
    m_openTimer->stop();
    stopWatching();
    m_engine->stop();
    m_engineActive = false;
}

void StreamSession::failOpen(const QString &reason)
{
    endTry();
    setState(PlayState::Ready);
    setStatus(tr("Kan niet openen: %1").arg(reason));
}

void StreamSession::onOpenTimeout()
{
    const QString seconds = QString::number(m_timing.openTimeoutMs / 1000);
    if (m_fetching) {
        m_source->cancel();
        m_fetching = false;
        m_walker.answered(FetchAnswer::failure(m_fetchUrl, tr("geen antwoord na %1 s").arg(seconds)));
        advance();
    } else if (m_engineActive) {
        m_engine->stop();
        onFinished(true, tr("geen beeld na %1 s").arg(seconds));
    }
}

// ---- what the decoder reports --------------------------------------------------

void StreamSession::onPhase(PlayState phase, int percent)
{
    if (!m_engineActive)
        return; // stopped, closed or between tries meanwhile
    switch (phase) {
    default: // Undefined: nothing loaded; a decoder reports no other state
        return;
    case PlayState::Transitioning:
        if (m_state != PlayState::Reconnecting) {
            setState(PlayState::Transitioning);
            setConnecting(m_current);
        }
        return;
    case PlayState::Buffering:
        if (m_currentPlayed && !m_stallTimer->isActive())
            m_stallTimer->start(m_timing.stallTimeoutMs);
        setState(PlayState::Buffering);
        setStatus(tr("Bufferen: %1%").arg(percent));
        return;
    case PlayState::Playing:
        m_openTimer->stop();
        m_stallTimer->stop();
        if (!m_progressTimer->isActive()) {
            m_lastProgressAt = m_clock.nowMs();
            m_progressTimer->start(m_timing.progressCheckMs);
        }
        m_everPlayed = m_currentPlayed = true;
        m_reconnectAttempt = 0;
        m_walker.played();
        setState(PlayState::Playing);
        setStatus(playingStatus());
        return;
    case PlayState::Paused:
        m_stallTimer->stop();
        setState(PlayState::Paused);
        setStatus(tr("Gepauzeerd"));
        return;
    }
}

void StreamSession::onFinished(bool failed, const QString &reason)
{
    if (!m_engineActive)
        return;
    m_engineActive = false;
    m_openTimer->stop();
    stopWatching();
    qint64 played = m_playedMs;
    if (m_playingSince >= 0)
        played += m_clock.nowMs() - m_playingSince;
    if (m_state == PlayState::Reconnecting || (m_currentPlayed && (failed || !m_timeline.reachedItsEnd(played)))) {
        // A stream that played and went, or a try to get it back that failed.
        scheduleReconnect(reason);
        return;
    }
    if (!m_currentPlayed && failed)
        m_walker.openFailed(reason); // the next address of the entry, or the next entry
    else
        m_walker.entryDone();
    advance();
}

void StreamSession::onTime(double position, double duration, bool seekable)
{
    if (!m_engineActive)
        return;
    if (position != m_timeline.position()) {
        m_progressSeen = true;
        m_lastProgressAt = m_clock.nowMs();
    }
    // Live streams are not sought: their "length" is only what has come.
    m_timeline.report(position, duration, seekable);
    emit progressChanged(position, duration, m_timeline.showsPosition());
}

void StreamSession::checkProgress()
{
    if (!isRunning(m_state) || !m_engineActive)
        return;
    // Some decoders keep saying "playing" while a live source has gone
    // quiet; a position that stands still tells.
    if (m_progressSeen && m_currentPlayed && m_clock.nowMs() - m_lastProgressAt > m_timing.stallTimeoutMs) {
        scheduleReconnect(tr("geen gegevens meer ontvangen"));
        return;
    }
    m_progressTimer->start(m_timing.progressCheckMs);
}

void StreamSession::scheduleReconnect(const QString &)
{
    endTry();
    ++m_reconnectAttempt;
    const int pause = m_timing.reconnectPauseMs(m_reconnectAttempt);
    setState(PlayState::Reconnecting);
    setStatus(tr("Verbinding verbroken; opnieuw verbinden over %1 s (poging %2)")
                  .arg((pause + 999) / 1000)
                  .arg(m_reconnectAttempt));
    m_reconnectTimer->start(pause);
}

void StreamSession::stopWatching()
{
    m_stallTimer->stop();
    m_progressTimer->stop();
    m_progressSeen = false;
}

// ---- state and status ------------------------------------------------------------

void StreamSession::setState(PlayState state)
{
    if (state == m_state)
        return;
    const qint64 now = m_clock.nowMs();
    if (m_state == PlayState::Playing && m_playingSince >= 0) {
        m_playedMs += now - m_playingSince;
        m_playingSince = -1;
    }
    if (state == PlayState::Playing)
        m_playingSince = now;
    m_state = state;
    emit stateChanged(state);
}

void StreamSession::setStatus(const QString &text)
{
    const QString redacted = Redaction::redact(text);
    const QString shown = StatusReasons::shownPart(redacted);
    const QString detail = StatusReasons::detailPart(redacted);
    if (shown == m_status && detail == m_statusDetail)
        return; // no change
    m_status = shown;
    m_statusDetail = detail;
    emit statusChanged(m_status);
}

// "Afspelen", with the title of what plays when it has one.
QString StreamSession::playingStatus() const
{
    return m_title.isEmpty() ? tr("Afspelen") : tr("Afspelen: %1").arg(m_title);
}

void StreamSession::onTitle(const QString &title)
{
    const QString simple = title.simplified(); // one line, whatever a station sends
    if (simple == m_title)
        return;
    m_title = simple;
    if (m_state == PlayState::Playing && m_engineActive)
        setStatus(playingStatus());
}

void StreamSession::setConnecting(const QString &address)
{
    const QString host = QUrl(address).host();
    setStatus(host.isEmpty() ? tr("Verbinden...") : tr("Verbinden met %1...").arg(host));
}
