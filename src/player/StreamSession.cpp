#include "player/StreamSession.h"
#include "player/PlaylistSource.h"

#include <QFileInfo>

namespace {
bool isPlaylistName(const QString &address)
{
    const QString path = QUrl(address).path().toLower();
    return path.endsWith(QLatin1String(".asx")) || path.endsWith(QLatin1String(".wax"))
           || path.endsWith(QLatin1String(".wvx"));
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
    m_fetching = m_engineActive = false;
    m_items.clear();
    m_itemIndex = -1;
    m_refIndex = 0;
    m_current.clear();
    m_everPlayed = m_currentPlayed = false;
    m_lastFailure.clear();
    m_reconnectAttempt = 0;
    m_position = m_duration = 0;
    m_seekable = false;
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
    m_openTimer->start(m_timing.openTimeoutMs);
    m_source->fetch(url);
}

QString StreamSession::mediaAddress(const FetchAnswer &answer)
{
    // The place to turn an answer into another address (a server that
    // wants another protocol, say) before the decoder sees it.
    return answer.url.isLocalFile() ? answer.url.toLocalFile() : answer.url.toString();
}

void StreamSession::onAnswer(const FetchAnswer &answer)
{
    if (!m_fetching)
        return; // a fetch abandoned meanwhile
    m_fetching = false;
    m_openTimer->stop();
    take(answer);
}

void StreamSession::take(const FetchAnswer &answer)
{
    const bool nested = m_itemIndex >= 0 && m_itemIndex < m_items.size();
    switch (answer.kind) {
    case FetchAnswer::Failed:
        if (!nested)
            return failOpen(answer.reason);
        m_lastFailure = answer.reason; // a nested playlist: go on with the next entry
        return playNextItem();
    case FetchAnswer::Media: {
        Item item;
        item.entry.refs = QStringList{mediaAddress(answer)};
        item.media = true;
        if (nested) {
            item.depth = m_items[m_itemIndex].depth;
            item.fromNetwork = m_items[m_itemIndex].fromNetwork;
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

void StreamSession::onPlaylist(const FetchAnswer &answer)
{
    const bool nested = m_itemIndex >= 0 && m_itemIndex < m_items.size();
    Item proto;
    if (nested) {
        proto.depth = m_items[m_itemIndex].depth + 1;
        proto.chain = m_items[m_itemIndex].chain;
    }
    proto.chain << m_fetchUrl;
    if (answer.url != m_fetchUrl)
        proto.chain << answer.url;
    proto.fromNetwork = !answer.url.isLocalFile();
    QList<Item> items;
    for (const Asx::Item &entry : answer.playlist.items) {
        items << proto;
        items.last().entry = entry;
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

void StreamSession::playNextItem()
{
    ++m_itemIndex;
    m_currentPlayed = false;
    for (; m_itemIndex < m_items.size(); ++m_itemIndex) {
        Item &item = m_items[m_itemIndex];
        const QStringList &refs = item.entry.refs;
        if (item.entry.kind == Asx::Item::Entry && !item.media && refs.size() == 1 && isPlaylistName(refs.first())) {
            // A reference to another playlist: follow it like ENTRYREF.
            item.entry.kind = Asx::Item::EntryRef;
            item.entry.href = refs.first();
        }
        if (item.entry.kind == Asx::Item::EntryRef) {
            if (followable(item)) {
                fetch(QUrl(item.entry.href));
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
bool StreamSession::followable(const Item &item)
{
    const QUrl url(item.entry.href.trimmed());
    if (url.isEmpty() || !url.isValid() || (item.fromNetwork && !Asx::isNetworkAddress(url)))
        return false;
    if (item.depth + 1 > Asx::MaxEntryRefDepth) {
        m_lastFailure = tr("afspeellijsten te diep genest");
        return false;
    }
    if (item.chain.contains(url)) {
        m_lastFailure = tr("afspeellijst verwijst naar zichzelf");
        return false;
    }
    return true;
}

// Opens the first usable REF of the current entry from `from` on.
bool StreamSession::openRef(int from)
{
    if (m_itemIndex < 0 || m_itemIndex >= m_items.size())
        return false;
    const Item &item = m_items[m_itemIndex];
    for (m_refIndex = from; m_refIndex < item.entry.refs.size(); ++m_refIndex) {
        const QString ref = item.entry.refs.at(m_refIndex).trimmed();
        if (ref.isEmpty() || (item.fromNetwork && !Asx::isNetworkAddress(QUrl(ref))))
            continue;
        m_current = ref;
        m_currentPlayed = m_progressSeen = false;
        m_playedMs = 0;
        m_playingSince = -1;
        m_position = m_duration = 0;
        m_seekable = false;
        openEngine();
        return true;
    }
    return false;
}

void StreamSession::openEngine()
{
    m_engineActive = true;
    m_openTimer->start(m_timing.openTimeoutMs);
    m_engine->open(m_current);
}

void StreamSession::failOpen(const QString &reason)
{
    m_openTimer->stop();
    stopWatching();
    m_engine->stop();
    m_engineActive = false;
    setState(Ready);
    setStatus(tr("Kan niet openen: %1").arg(reason));
}

void StreamSession::onOpenTimeout()
{
    const QString seconds = QString::number(m_timing.openTimeoutMs / 1000);
    if (m_fetching) {
        m_source->cancel();
        m_fetching = false;
        take(FetchAnswer::failure(m_fetchUrl, tr("geen antwoord na %1 s").arg(seconds)));
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
        setState(Playing);
        setStatus(tr("Afspelen"));
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
    if (m_state == Reconnecting || (m_currentPlayed && (failed || !reachedItsEnd()))) {
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
    if (position != m_position) {
        m_progressSeen = true;
        m_lastProgressAt = m_clock.nowMs();
    }
    m_position = position;
    m_duration = duration;
    m_seekable = seekable;
    emit progressChanged(position, duration, seekable);
}

bool StreamSession::reachedItsEnd() const
{
    // A file can be sought and ends where its length says, after about that
    // much playing. A live stream cannot be sought and its length only
    // grows: when it stops, it was dropped.
    if (!m_seekable || m_duration <= 0 || m_position < m_duration - 2.0)
        return false;
    qint64 played = m_playedMs;
    if (m_playingSince >= 0)
        played += m_clock.nowMs() - m_playingSince;
    return played <= qint64((m_duration + 10.0) * 1000);
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
    stopWatching();
    m_openTimer->stop();
    m_engine->stop();
    m_engineActive = false;
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
    m_status = text;
    emit statusChanged(text);
}

void StreamSession::setConnecting(const QString &address)
{
    const QString host = QUrl(address).host();
    setStatus(host.isEmpty() ? tr("Verbinden...") : tr("Verbinden met %1...").arg(host));
}
