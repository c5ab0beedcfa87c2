#include "player/PlaylistWalker.h"
#include "player/AsxPlaylist.h"
#include "player/FetchAnswer.h"
#include "player/RtspTransport.h"
#include "player/ServerAnswer.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
bool isHttp(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

QString tr(const char *text) { return QCoreApplication::translate("PlaylistWalker", text); }
} // namespace

void PlaylistWalker::clear()
{
    m_todo.clear();
    m_waiting = Waiting::Nothing;
    m_fetchUrl.clear();
    m_fetches = 0;
    m_lastFailure.clear();
}

void PlaylistWalker::start(const QString &typed)
{
    clear();
    const QString address = typed.trimmed();
    if (address.isEmpty())
        return;
    Item item;
    item.origin.depth = -1; // what the address holds is at depth 0
    const QUrl url(address);
    if (isHttp(url) || url.isLocalFile()) {
        item.playlist = true;
        item.url = url;
    } else if (url.scheme().isEmpty() && QFileInfo(address).isFile()) {
        item.playlist = true;
        item.url = QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath());
    } else {
        // mms, rtsp and the like: the decoder opens them itself.
        item.refs = {Ref{mediaAddress(FetchAnswer::media(url)), item.origin, true}};
    }
    m_todo = {item};
}

QString PlaylistWalker::mediaAddress(const FetchAnswer &answer)
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

PlaylistWalker::Step PlaylistWalker::next()
{
    while (!m_todo.isEmpty()) {
        Item &item = m_todo.first();
        if (!item.playlist && item.refs.size() == 1 && !item.refs.first().resolved
            && Asx::isPlaylistName(QUrl(item.refs.first().address.trimmed()))) {
            // An entry whose only address is another playlist: followed like ENTRYREF.
            item.playlist = true;
            item.url = QUrl(item.refs.first().address.trimmed());
            item.origin = item.refs.first().origin;
            item.refs.clear();
        }
        if (item.playlist) {
            if (followable(item.url, item.origin) && mayFetch())
                return fetch(Waiting::Playlist, item.url);
            m_todo.removeFirst();
            continue;
        }
        while (!item.refs.isEmpty()) {
            Ref &ref = item.refs.first();
            ref.address = ref.address.trimmed();
            const QUrl url(ref.address);
            if (ref.address.isEmpty() || (ref.origin.fromNetwork && !Asx::isNetworkAddress(url))) {
                item.refs.removeFirst();
                continue;
            }
            if (!ref.resolved && isHttp(url)) {
                // Looked at before it plays.
                if (ref.origin.chain.contains(url)) {
                    m_lastFailure = tr("afspeellijst verwijst naar zichzelf");
                    item.refs.removeFirst();
                    continue;
                }
                if (!mayFetch()) {
                    item.refs.removeFirst();
                    continue;
                }
                return fetch(Waiting::Ref, url);
            }
            if (!ref.final) {
                const Origin origin = ref.origin;
                const QStringList tries = RtspTransport::tries(ref.address);
                item.refs.removeFirst();
                for (qsizetype i = tries.size() - 1; i >= 0; --i)
                    item.refs.prepend(Ref{tries.at(i), origin, true, true});
            }
            m_waiting = Waiting::Decoder;
            Step step;
            step.kind = Step::Open;
            step.address = item.refs.first().address;
            return step;
        }
        m_todo.removeFirst(); // no address of this entry left
    }
    m_waiting = Waiting::Nothing;
    Step end;
    end.reason = m_lastFailure.isEmpty() ? tr("geen speelbare stream") : m_lastFailure;
    return end;
}

PlaylistWalker::Step PlaylistWalker::fetch(Waiting what, const QUrl &url)
{
    m_waiting = what;
    m_fetchUrl = url;
    ++m_fetches;
    Step step;
    step.kind = Step::Fetch;
    step.url = url;
    return step;
}

bool PlaylistWalker::mayFetch()
{
    if (m_fetches < MaxFetchesWithoutPlay)
        return true;
    m_lastFailure = tr("te veel afspeellijsten");
    return false;
}

// Whether a playlist may be fetched. Addresses that lead nowhere are
// skipped, as are local ones named by a playlist from the network.
bool PlaylistWalker::followable(const QUrl &url, const Origin &origin)
{
    if (url.isEmpty() || !url.isValid() || (origin.fromNetwork && !Asx::isNetworkAddress(url)))
        return false;
    return nestingAllowed(origin, url);
}

// Whether the playlist at `url`, named where `parent` says, may be read: not
// nested too deep, and not one of the playlists that led to it.
bool PlaylistWalker::nestingAllowed(const Origin &parent, const QUrl &url)
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

// Where the addresses of a playlist that `answer` brought come from.
PlaylistWalker::Origin PlaylistWalker::nestedOrigin(const Origin &parent, const FetchAnswer &answer) const
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

QString PlaylistWalker::emptyReason(bool valid)
{
    return valid ? tr("lege afspeellijst") : tr("ongeldige afspeellijst");
}

void PlaylistWalker::answered(const FetchAnswer &answer)
{
    const Waiting was = m_waiting;
    m_waiting = Waiting::Nothing;
    if (was == Waiting::Playlist)
        onPlaylistAnswer(answer);
    else if (was == Waiting::Ref)
        onRefAnswer(answer);
}

// The answer to a playlist fetched for an entry (or to the address itself).
void PlaylistWalker::onPlaylistAnswer(const FetchAnswer &answer)
{
    if (m_todo.isEmpty() || !m_todo.first().playlist)
        return;
    Item &item = m_todo.first();
    switch (answer.kind) {
    case FetchAnswer::Failed:
        m_lastFailure = answer.reason;
        m_todo.removeFirst();
        return;
    case FetchAnswer::Media:
        item.playlist = false;
        item.refs = {Ref{mediaAddress(answer), item.origin, true}};
        return;
    case FetchAnswer::Playlist: {
        // Its entries, in order, take the item's place.
        const Origin origin = nestedOrigin(item.origin, answer);
        QList<Item> entries;
        for (const Asx::Item &entry : answer.playlist.items) {
            Item inner;
            inner.origin = origin;
            if (entry.kind == Asx::Item::EntryRef) {
                inner.playlist = true;
                inner.url = QUrl(entry.href.trimmed());
            }
            for (const QString &ref : entry.refs)
                inner.refs << Ref{ref, origin};
            entries << inner;
        }
        if (entries.isEmpty())
            m_lastFailure = emptyReason(answer.playlist.valid);
        m_todo.removeFirst();
        m_todo = entries + m_todo;
        return;
    }
    }
}

// The answer to an entry's address looked at before it plays.
void PlaylistWalker::onRefAnswer(const FetchAnswer &answer)
{
    if (m_todo.isEmpty() || m_todo.first().playlist || m_todo.first().refs.isEmpty())
        return;
    QList<Ref> &refs = m_todo.first().refs;
    Ref &ref = refs.first();
    switch (answer.kind) {
    case FetchAnswer::Failed:
        m_lastFailure = answer.reason;
        refs.removeFirst();
        return;
    case FetchAnswer::Media:
        ref.address = mediaAddress(answer);
        ref.resolved = true;
        return;
    case FetchAnswer::Playlist: {
        // The playlist's addresses, in order, take the address's place.
        const Origin parent = ref.origin;
        if (!nestingAllowed(parent, answer.url)) {
            refs.removeFirst();
            return;
        }
        const Origin origin = nestedOrigin(parent, answer);
        QList<Ref> inner;
        for (const Asx::Item &entry : answer.playlist.items) {
            for (const QString &address : entry.kind == Asx::Item::EntryRef ? QStringList{entry.href} : entry.refs)
                if (inner.size() < Asx::MaxRefsPerEntry)
                    inner << Ref{address, origin};
        }
        if (inner.isEmpty())
            m_lastFailure = emptyReason(answer.playlist.valid);
        refs.removeFirst();
        refs = inner + refs;
        return;
    }
    }
}

void PlaylistWalker::openFailed(const QString &reason)
{
    m_waiting = Waiting::Nothing;
    m_lastFailure = reason;
    if (!m_todo.isEmpty() && !m_todo.first().playlist && !m_todo.first().refs.isEmpty())
        m_todo.first().refs.removeFirst();
}

void PlaylistWalker::entryDone()
{
    m_waiting = Waiting::Nothing;
    if (!m_todo.isEmpty())
        m_todo.removeFirst();
}
