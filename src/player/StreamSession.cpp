#include "player/StreamSession.h"
#include "player/PlaylistSource.h"
#include "player/Redaction.h"
#include "player/RtspTransport.h"
#include "player/ServerAnswer.h"
#include "player/StatusReasons.h"

#include <QFileInfo>

namespace {
bool isPlaylistName(const QString &address)
{
    const QString path = QUrl(address).path().toLower();
    return path.endsWith(QLatin1String(".asx")) || path.endsWith(QLatin1String(".wax"))
           || path.endsWith(QLatin1String(".wvx"));
}

bool isHttp(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}
} // namespace

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
        setState(Undefined);
        setStatus(tr("Geen adres"));
    } else if (start) {
        open();
    } else {
        setState(Ready);
        setStatus(tr("Gereed"));
    }
}

void StreamSession::play()
{
    switch (m_state) {
    case Paused:
        if (m_engineActive)
            m_engine->setPaused(false);
        return;
    case Playing:
    case Buffering:
    case Transitioning:
        return;
    default:
        break;
    }
    if (!m_address.isEmpty())
        open();
}

void StreamSession::pause()
{
    if (isRunning() && m_engineActive)
        m_engine->setPaused(true);
}

void StreamSession::stop()
{
    reset();
    setState(Stopped);
    setStatus(tr("Gestopt"));
}

void StreamSession::close()
{
    reset();
    setState(Undefined);
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
    m_fetching = m_probing = m_engineActive = false;
    m_fetchesWithoutPlay = 0;
    m_items.clear();
    m_itemIndex = -1;
    m_refIndex = 0;
    m_current.clear();
    m_everPlayed = m_currentPlayed = false;
    m_lastFailure.clear();
    m_reconnectAttempt = 0;
    m_timeline.reset();
    emit progressChanged(0, 0, false);
}

// ---- from an address to something the decoder opens ------------------------------

void StreamSession::open()
{
    reset();
    setState(Transitioning);
    setConnecting(m_address);
    const QUrl url(m_address);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || url.isLocalFile())
        fetch(url);
    else if (scheme.isEmpty() && QFileInfo(m_address).isFile())
        fetch(QUrl::fromLocalFile(QFileInfo(m_address).absoluteFilePath()));
    else
        take(FetchAnswer::media(url)); // mms, rtsp and the like: the decoder opens them itself
}

void StreamSession::fetch(const QUrl &url)
{
    m_fetching = true;
    m_fetchUrl = url;
    ++m_fetchesWithoutPlay;
    m_openTimer->start(m_timing.openTimeoutMs);
    m_source->fetch(url);
}

// Whether one more playlist or address may be fetched before something plays.
bool StreamSession::mayFetch()
{
    if (m_fetchesWithoutPlay < MaxFetchesWithoutPlay)
        return true;
    m_lastFailure = tr("te veel afspeellijsten");
    return false;
}

QString StreamSession::mediaAddress(const FetchAnswer &answer)
{
    if (answer.url.isLocalFile())
        return answer.url.toLocalFile();
    // A Windows Media server's stream is framed for MMS over HTTP, which
    // the decoder reads only through an mmsh:// address.
    if (ServerAnswer::classify(answer.reply) == ServerAnswer::Kind::WindowsMediaStream) {
        const QUrl mmsh = ServerAnswer::mmshAddress(answer.url);
        if (!mmsh.isEmpty())
            return mmsh.toString();
    }
    return answer.url.toString();
}

void StreamSession::onAnswer(const FetchAnswer &answer)
{
    if (!m_fetching)
        return; // a fetch abandoned meanwhile
    m_fetching = false;
    m_openTimer->stop();
    if (m_probing)
        onRefAnswer(answer);
    else
        take(answer);
}

// The answer to the address itself or to an ENTRYREF.
void StreamSession::take(const FetchAnswer &answer)
{
    const bool nested = inItems();
    switch (answer.kind) {
    case FetchAnswer::Failed:
        if (!nested)
            return failOpen(answer.reason);
        m_lastFailure = answer.reason; // a nested playlist: go on with the next entry
        return playNextItem();
    case FetchAnswer::Media: {
        Item item;
        if (nested)
            item.origin = m_items[m_itemIndex].origin;
        item.refs = {Ref{mediaAddress(answer), item.origin, true}};
        if (nested) {
            m_items[m_itemIndex--] = item;
        } else {
            m_items = {item};
            m_itemIndex = -1;
        }
        return playNextItem();
    }
    case FetchAnswer::Playlist:
        return onPlaylist(answer);
    }
}

// Where the addresses of a playlist that `answer` brought come from.
StreamSession::Origin StreamSession::nestedOrigin(const Origin &parent, const FetchAnswer &answer) const
{
    Origin origin;
    origin.depth = parent.depth + 1;
    origin.chain = parent.chain;
    origin.chain << m_fetchUrl;
    if (answer.url != m_fetchUrl)
        origin.chain << answer.url;
    origin.fromNetwork = !answer.url.isLocalFile();
    return origin;
}

void StreamSession::onPlaylist(const FetchAnswer &answer)
{
    const bool nested = inItems();
    Origin top;
    top.depth = -1;
    const Origin origin = nestedOrigin(nested ? m_items[m_itemIndex].origin : top, answer);
    QList<Item> items;
    for (const Asx::Item &entry : answer.playlist.items) {
        Item item;
        item.kind = entry.kind;
        item.href = entry.href;
        item.origin = origin;
        for (const QString &ref : entry.refs)
            item.refs << Ref{ref, origin, false};
        items << item;
    }
    if (!nested) {
        if (!answer.playlist.valid || items.isEmpty())
            return failOpen(answer.playlist.valid ? tr("lege afspeellijst") : tr("ongeldige afspeellijst"));
        m_items = items;
        m_itemIndex = -1;
    } else {
        m_items.removeAt(m_itemIndex);
        for (int i = 0; i < items.size(); ++i)
            m_items.insert(m_itemIndex + i, items[i]);
        --m_itemIndex;
    }
    playNextItem();
}

// The answer to a REF looked at before it plays.
void StreamSession::onRefAnswer(const FetchAnswer &answer)
{
    m_probing = false;
    if (!inItems() || m_refIndex >= m_items[m_itemIndex].refs.size())
        return playNextItem();
    QList<Ref> &refs = m_items[m_itemIndex].refs;
    const Ref ref = refs.at(m_refIndex);
    switch (answer.kind) {
    case FetchAnswer::Failed:
        m_lastFailure = answer.reason;
        break;
    case FetchAnswer::Media:
        refs[m_refIndex].address = mediaAddress(answer);
        refs[m_refIndex].resolved = true;
        if (!openRef(m_refIndex))
            playNextItem();
        return;
    case FetchAnswer::Playlist: {
        // The playlist's addresses, in order, take the REF's place.
        const Origin origin = nestedOrigin(ref.origin, answer);
        QList<Ref> inner;
        for (const Asx::Item &entry : answer.playlist.items) {
            for (const QString &address : entry.kind == Asx::Item::EntryRef ? QStringList{entry.href} : entry.refs)
                if (inner.size() < Asx::MaxRefsPerEntry)
                    inner << Ref{address, origin, false};
        }
        if (!nestingAllowed(ref.origin, answer.url))
            break;
        if (inner.isEmpty()) {
            m_lastFailure = answer.playlist.valid ? tr("lege afspeellijst") : tr("ongeldige afspeellijst");
            break;
        }
        refs.removeAt(m_refIndex);
        for (int i = 0; i < inner.size(); ++i)
            refs.insert(m_refIndex + i, inner.at(i));
        if (!openRef(m_refIndex))
            playNextItem();
        return;
    }
    }
    if (!openRef(m_refIndex + 1))
        playNextItem();
}

void StreamSession::playNextItem()
{
    ++m_itemIndex;
    m_currentPlayed = false;
    for (; m_itemIndex < m_items.size(); ++m_itemIndex) {
        Item &item = m_items[m_itemIndex];
        if (item.kind == Asx::Item::Entry && item.refs.size() == 1 && !item.refs.first().resolved
            && isPlaylistName(item.refs.first().address)) {
            // A reference to another playlist: follow it like ENTRYREF.
            item.kind = Asx::Item::EntryRef;
            item.href = item.refs.first().address;
            item.origin = item.refs.first().origin;
        }
        if (item.kind == Asx::Item::EntryRef) {
            const QUrl url(item.href.trimmed());
            if (followable(url, item.origin) && mayFetch()) {
                fetch(url);
                return;
            }
        } else if (openRef(0)) {
            return;
        }
    }
    // Nothing left to play.
    m_current.clear();
    if (m_everPlayed) {
        setState(MediaEnded);
        setState(Stopped);
        setStatus(tr("Afgelopen"));
    } else {
        failOpen(m_lastFailure.isEmpty() ? tr("geen speelbare stream") : m_lastFailure);
    }
}

// Whether a nested playlist may be fetched. Addresses that lead nowhere are
// skipped, as are local ones named by a playlist from the network.
bool StreamSession::followable(const QUrl &url, const Origin &origin)
{
    if (url.isEmpty() || !url.isValid() || (origin.fromNetwork && !Asx::isNetworkAddress(url)))
        return false;
    return nestingAllowed(origin, url);
}

// Whether the playlist at `url`, named where `parent` says, may be read: not
// nested too deep, and not one of the playlists that led to it.
bool StreamSession::nestingAllowed(const Origin &parent, const QUrl &url)
{
    if (parent.depth + 1 > Asx::MaxEntryRefDepth) {
        m_lastFailure = tr("afspeellijsten te diep genest");
        return false;
    }
    if (parent.chain.contains(url)) {
        m_lastFailure = tr("afspeellijst verwijst naar zichzelf");
        return false;
    }
    return true;
}

// Opens the first usable REF of the current entry from `from` on: an
// http(s) one is fetched first to see what it is; an rtsp:// one becomes
// its transports to try in turn.
bool StreamSession::openRef(int from)
{
    if (!inItems())
        return false;
    QList<Ref> &refs = m_items[m_itemIndex].refs;
    for (m_refIndex = from; m_refIndex < refs.size(); ++m_refIndex) {
        Ref &ref = refs[m_refIndex];
        ref.address = ref.address.trimmed();
        const QUrl url(ref.address);
        if (ref.address.isEmpty() || (ref.origin.fromNetwork && !Asx::isNetworkAddress(url)))
            continue;
        if (!ref.resolved && isHttp(url)) {
            if (ref.origin.chain.contains(url)) {
                m_lastFailure = tr("afspeellijst verwijst naar zichzelf");
                continue;
            }
            if (!mayFetch())
                continue;
            m_probing = true;
            fetch(url);
            return true;
        }
        if (!ref.final) {
            const QStringList tries = RtspTransport::tries(ref.address);
            ref.resolved = ref.final = true;
            for (int i = 1; i < tries.size(); ++i)
                refs.insert(m_refIndex + i, Ref{tries.at(i), refs.at(m_refIndex).origin, true, true});
        }
        m_current = refs.at(m_refIndex).address;
        m_currentPlayed = false;
        m_playedMs = 0;
        m_playingSince = -1;
        openEngine();
        return true;
    }
    return false;
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
    setState(Ready);
    setStatus(tr("Kan niet openen: %1").arg(reason));
}

void StreamSession::onOpenTimeout()
{
    const QString seconds = QString::number(m_timing.openTimeoutMs / 1000);
    if (m_fetching) {
        m_source->cancel();
        m_fetching = false;
        const FetchAnswer failure = FetchAnswer::failure(m_fetchUrl, tr("geen antwoord na %1 s").arg(seconds));
        if (m_probing)
            onRefAnswer(failure);
        else
            take(failure);
    } else if (m_engineActive) {
        m_engine->stop();
        onFinished(true, tr("geen beeld na %1 s").arg(seconds));
    }
}

// ---- what the decoder reports --------------------------------------------------

void StreamSession::onPhase(PlayerBackend::Phase phase, int percent)
{
    if (!m_engineActive)
        return; // stopped, closed or between tries meanwhile
    switch (phase) {
    case PlayerBackend::Phase::Idle:
        return;
    case PlayerBackend::Phase::Opening:
        if (m_state != Reconnecting) {
            setState(Transitioning);
            setConnecting(m_current);
        }
        return;
    case PlayerBackend::Phase::Buffering:
        if (m_currentPlayed && !m_stallTimer->isActive())
            m_stallTimer->start(m_timing.stallTimeoutMs);
        setState(Buffering);
        setStatus(tr("Bufferen: %1%").arg(percent));
        return;
    case PlayerBackend::Phase::Playing:
        m_openTimer->stop();
        m_stallTimer->stop();
        if (!m_progressTimer->isActive()) {
            m_lastProgressAt = m_clock.nowMs();
            m_progressTimer->start(m_timing.progressCheckMs);
        }
        m_everPlayed = m_currentPlayed = true;
        m_reconnectAttempt = 0;
        m_fetchesWithoutPlay = 0;
        setState(Playing);
        setStatus(playingStatus());
        return;
    case PlayerBackend::Phase::Paused:
        m_stallTimer->stop();
        setState(Paused);
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
    if (m_state == Reconnecting || (m_currentPlayed && (failed || !m_timeline.reachedItsEnd(played)))) {
        // A stream that played and went, or a try to get it back that failed.
        scheduleReconnect(reason);
        return;
    }
    if (!m_currentPlayed && failed) {
        m_lastFailure = reason;
        if (openRef(m_refIndex + 1))
            return;
    }
    playNextItem();
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
    if (!isRunning() || !m_engineActive)
        return;
    // Some decoders keep saying "playing" while a live source has gone
    // quiet; a position that stands still tells.
    if (m_progressSeen && m_currentPlayed && m_clock.nowMs() - m_lastProgressAt > m_timing.stallTimeoutMs) {
        scheduleReconnect(tr("geen gegevens meer ontvangen"));
        return;
    }
    m_progressTimer->start(m_timing.progressCheckMs);
}

void StreamSession::scheduleReconnect(const QString &reason)
{
    m_lastFailure = reason;
    endTry();
    ++m_reconnectAttempt;
    const int pause = m_timing.reconnectPauseMs(m_reconnectAttempt);
    setState(Reconnecting);
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

void StreamSession::setState(int state)
{
    if (state == m_state)
        return;
    const qint64 now = m_clock.nowMs();
    if (m_state == Playing && m_playingSince >= 0) {
        m_playedMs += now - m_playingSince;
        m_playingSince = -1;
    }
    if (state == Playing)
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
    if (m_state == Playing && m_engineActive)
        setStatus(playingStatus());
}

void StreamSession::setConnecting(const QString &address)
{
    const QString host = QUrl(address).host();
    setStatus(host.isEmpty() ? tr("Verbinden...") : tr("Verbinden met %1...").arg(host));
}
