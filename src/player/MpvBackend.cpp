#include "player/MpvBackend.h"
#include "player/AdaptiveStream.h"
#include "player/CertificateStore.h"
#include "player/EngineGate.h"
#include "player/EngineOptions.h"
#include "player/MpvSoftwareWidget.h"
#include "player/MpvVideoWidget.h"
#include "player/PlayerLog.h"
#include "player/RtspTransport.h"
#include "player/StatusReasons.h"

#include <QFile>

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThreadPool>
#include <QUrl>
#include <clocale>
#include <mpv/client.h>

// The engine's own warnings and errors, as it words them (debug level).
Q_LOGGING_CATEGORY(lcMpv, "kijkraam.mpv", QtWarningMsg)
// Frame counters (PlayerLog): while they are logged, the position poll also
// asks for mpv's drop counters, and each player logs them whenever one of
// them changed.

namespace {
std::atomic<int> g_liveCores{0};

enum ReplyId : uint64_t {
    ObservePause = 1,
    ObserveCacheWait,
    ObserveCachePct,
    ObserveTime,
    ObserveDuration,
    ObserveSeekable,
    ReplyDropped,
    ReplyDecoderDropped,
    ObserveIcyTitle,
    ReplyTracks,
    ObserveWidth,
    ObserveHeight,
    ObserveHwdec
};
// The engine's lines of one try kept to tell why it failed.
constexpr int KeptEngineLines = 8;

// FFmpeg's lines (the network and the demuxers: "401 Unauthorized",
// "Connection refused") reach only the first core of the process, whoever
// caused them: libmpv hands FFmpeg's one process-wide log to that core. They
// are kept here for every core to find its own, by the host and port they
// name, or by time where they name none.
struct SharedLine {
    qint64 at;
    QString text;
};
constexpr int KeptSharedLines = 32;
QList<SharedLine> g_sharedLines;
QElapsedTimer &sharedClock()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock;
}

// The cores alive, to collect FFmpeg's lines from the one that gets them.
QList<QPointer<MpvBackend>> g_backends;

void keepShared(const QString &line)
{
    if (g_sharedLines.size() == KeptSharedLines)
        g_sharedLines.removeFirst();
    g_sharedLines.append({sharedClock().elapsed(), line});
}

// FFmpeg's lines since `since` that may be about `address`: those that name
// its host (and port), and those that name no address at all.
QStringList sharedLinesFor(const QString &address, qint64 since)
{
    const QUrl url(address);
    const QString host = url.host();
    const QString hostPort = url.port() > 0 ? host + u':' + QString::number(url.port()) : QString();
    QStringList lines;
    for (const SharedLine &line : std::as_const(g_sharedLines)) {
        if (line.at < since)
            continue;
        const bool namesOne = line.text.contains(QLatin1String("://")) || line.text.contains(QLatin1String("hostname"));
        if (namesOne
            && (host.isEmpty() || !line.text.contains(host)
                || (!hostPort.isEmpty() && line.text.contains(host + u':') && !line.text.contains(hostPort))))
            continue;
        lines << line.text;
    }
    return lines;
}
} // namespace

int MpvBackend::liveCores() { return g_liveCores.load(); }

MpvBackend::MpvBackend()
{
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");
    m_mpv = mpv_create();
    if (!m_mpv) {
        m_startError = tr("mpv_create gaf geen speler terug");
        return;
    }
    ++g_liveCores;
    g_backends << this;
    auto opt = [this](const char *name, const char *value) {
        if (const int error = mpv_set_option_string(m_mpv, name, value); error < 0) {
            // A name or value this libmpv does not know changes nothing:
            // say so, rather than run with mpv's default unnoticed.
            m_rejectedOptions << QStringLiteral("%1=%2").arg(QLatin1String(name), QLatin1String(value));
            qCWarning(lcMpv) << "option rejected:" << name << "=" << value << mpv_error_string(error);
        }
    };
    // The options of the table (engine-options.conf) that every core
    // shares; a line the table cannot be read at counts as refused.
    static const EngineOptions::Table table = EngineOptions::forProgram(EngineOptions::builtIn());
    for (const EngineOptions::Option &o : table.options) {
        opt(o.name.toUtf8().constData(), o.value.toUtf8().constData());
        if (o.name == QLatin1String("hwdec"))
            m_hwdec = o.value.toUtf8();
    }
    m_rejectedOptions << table.faults;
    // Everything the engine fetches over HTTP goes through this player's
    // gate, which bounds requests and what a server may send (EngineGate);
    // yt-dlp fetches its pages through it too.
    m_gate = EngineGate::create();
    if (m_gate) {
        opt("http-proxy", m_gate->proxyAddress().toUtf8().constData());
        opt("ytdl-raw-options", ("proxy=[" + m_gate->proxyAddress() + "]").toUtf8().constData());
    }
    // The certificates the decoder checks against (tls-verify is in the
    // table): the system's store and those the user trusts. (The decoder
    // does not say whose certificate it refused: FFmpeg's log reaches one
    // core of the process at most. The program's first look names such hosts.)
    opt("tls-ca-file", QFile::encodeName(CertificateStore::engineAuthorities()).constData());
    // Warnings too: the engine says what a server answered (an HTTP status,
    // an RTSP 401) at that level, before the error that ends the try. While
    // its lines are logged, what it plays and finds as well.
    mpv_request_log_messages(m_mpv, lcMpv().isDebugEnabled() ? "info" : "warn");
    mpv_observe_property(m_mpv, ObservePause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, ObserveCacheWait, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, ObserveCachePct, "cache-buffering-state", MPV_FORMAT_INT64);
    // The position is asked for twice a second rather than observed: an
    // observed position wakes the user-interface thread at every frame.
    m_timePoll.setInterval(500);
    connect(&m_timePoll, &QTimer::timeout, this, [this] {
        if (!m_mpv)
            return;
        mpv_get_property_async(m_mpv, ObserveTime, "time-pos", MPV_FORMAT_DOUBLE);
        if (lcFrames().isDebugEnabled()) {
            mpv_get_property_async(m_mpv, ReplyDropped, "frame-drop-count", MPV_FORMAT_INT64);
            mpv_get_property_async(m_mpv, ReplyDecoderDropped, "decoder-frame-drop-count", MPV_FORMAT_INT64);
        }
    });
    m_adaptive = new AdaptiveStream(this);
    if (m_gate)
        m_adaptive->setProxyPort(m_gate->port());
    connect(m_adaptive, &AdaptiveStream::load, this, &MpvBackend::loadNow);
    connect(m_adaptive, &AdaptiveStream::areaSettled, this, &MpvBackend::fitDecoding);
    connect(m_adaptive, &AdaptiveStream::selectTrack, this, [this](int track) {
        command({"set", "vid", QByteArray::number(track)});
    });
    mpv_observe_property(m_mpv, ObserveDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, ObserveSeekable, "seekable", MPV_FORMAT_FLAG);
    // What a radio station plays now (ICY StreamTitle). Not media-title nor
    // a title tag: those are a file's name or a camera's session name
    // ("Session streamed with GStreamer", "Media Presentation").
    mpv_observe_property(m_mpv, ObserveWidth, "dwidth", MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, ObserveHeight, "dheight", MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, ObserveHwdec, "hwdec-current", MPV_FORMAT_STRING);
    mpv_observe_property(m_mpv, ObserveIcyTitle, "metadata/by-key/icy-title", MPV_FORMAT_STRING);
    mpv_set_wakeup_callback(
        m_mpv,
        [](void *ctx) {
            auto *self = static_cast<MpvBackend *>(ctx);
            if (!self->m_wakeupPending.exchange(true))
                QMetaObject::invokeMethod(self, &MpvBackend::drainEvents, Qt::QueuedConnection);
        },
        this);
    if (const int error = mpv_initialize(m_mpv); error < 0) {
        m_startError = QString::fromUtf8(mpv_error_string(error));
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        --g_liveCores;
    }
}

MpvBackend::~MpvBackend()
{
    g_backends.removeAll(this);
    if (m_gate)
        m_gate->deleteLater(); // in its own thread
    if (!m_mpv)
        return;
    mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    // The renderer must be gone before the core.
    if (m_video)
        m_surface->detachCore();
    // Shutting a core down waits for its network and decoder threads; do
    // that away from the user-interface thread.
    mpv_handle *mpv = m_mpv;
    m_mpv = nullptr;
    QThreadPool::globalInstance()->start([mpv] {
        mpv_terminate_destroy(mpv);
        --g_liveCores;
    });
}

QWidget *MpvBackend::videoWidget(QWidget *parent)
{
    if (!m_video) {
        if (Renderer::effective() == Renderer::Kind::Software)
            m_surface = new MpvSoftwareWidget(m_mpv, parent);
        else
            m_surface = new MpvVideoWidget(m_mpv, parent);
        m_video = m_surface->widget();
        if (m_adaptive)
            m_adaptive->watch(m_video);
        m_surface->onReady([this] { renderReady(); });
    }
    return m_video;
}

void MpvBackend::renderReady()
{
    m_renderReady = true;
    if (!m_pendingUrl.isEmpty()) {
        const QString url = m_pendingUrl;
        m_pendingUrl.clear();
        open(url);
    } else if (m_loaded) {
        // A new render context after the old one was lost: bring video back.
        command({"set", "vid", "auto"});
        command({"video-reload"});
    }
}

void MpvBackend::command(const QList<QByteArray> &args)
{
    if (!m_mpv)
        return;
    std::vector<const char *> argv;
    for (const QByteArray &a : args)
        argv.push_back(a.constData());
    argv.push_back(nullptr);
    mpv_command_async(m_mpv, 0, argv.data());
}

void MpvBackend::setFlag(const char *name, bool value)
{
    if (!m_mpv)
        return;
    int flag = value ? 1 : 0;
    mpv_set_property_async(m_mpv, 0, name, MPV_FORMAT_FLAG, &flag);
}

void MpvBackend::setNumber(const char *name, double value)
{
    if (!m_mpv)
        return;
    mpv_set_property_async(m_mpv, 0, name, MPV_FORMAT_DOUBLE, &value);
}

void MpvBackend::open(const QString &url)
{
    if (!m_mpv) {
        emit finished(true, tr("mediaspeler niet beschikbaar"));
        return;
    }
    m_engineLines.clear();
    m_failurePending = false;
    m_title.clear(); // the session forgets the title of an earlier try too
    m_openedUrl = url;
    m_openedAt = sharedClock().elapsed();
    m_opening = true;
    m_loaded = false;
    m_restarted = false;
    if (!m_renderReady) {
        // Video output needs the widget's GL context; load once it exists.
        m_pendingUrl = url;
        reportPhase();
        return;
    }
    setFlag("pause", false);
    // A certificate trusted (or withdrawn) since the last open counts now.
    mpv_set_property_string(m_mpv, "tls-ca-file", QFile::encodeName(CertificateStore::engineAuthorities()).constData());
    m_switching = m_ytdlMissing = false;
    ++m_endSerial;
    const RtspTransport::DecoderOpen target = RtspTransport::forDecoder(url);
    if (target.transport.isEmpty())
        m_adaptive->open(target.url); // loadNow() follows
    else
        command({"loadfile", target.url.toUtf8(), "replace", "rtsp-transport=" + target.transport});
    reportPhase();
}

void MpvBackend::loadNow(const QString &url, bool switching)
{
    if (!m_opening && !m_loaded)
        return; // stopped meanwhile
    // Another variant of what plays: the player goes on saying it plays
    // until the new one shows or fails.
    m_switching = switching && m_restarted;
    if (!m_switching)
        m_restarted = false;
    if (m_hwdecFlipped) {
        // A new stream may have a hardware decoder again.
        m_hwdecFlipped = false;
        command({"set", "hwdec", m_hwdec});
    }
    m_loadedUrl = url;
    command({"loadfile", url.toUtf8(), "replace"});
}

void MpvBackend::readTracks(const mpv_node *list)
{
    if (!list || list->format != MPV_FORMAT_NODE_ARRAY)
        return;
    QList<VariantChoice::Variant> tracks;
    int selected = 0;
    for (int i = 0; i < list->u.list->num; ++i) {
        const mpv_node &track = list->u.list->values[i];
        if (track.format != MPV_FORMAT_NODE_MAP)
            continue;
        VariantChoice::Variant v;
        bool video = false, isSelected = false;
        int w = 0, h = 0;
        for (int k = 0; k < track.u.list->num; ++k) {
            const QByteArray key = track.u.list->keys[k];
            const mpv_node &value = track.u.list->values[k];
            if (key == "type" && value.format == MPV_FORMAT_STRING)
                video = qstrcmp(value.u.string, "video") == 0;
            else if (value.format == MPV_FORMAT_INT64 && key == "id")
                v.track = int(value.u.int64);
            else if (value.format == MPV_FORMAT_INT64 && key == "demux-w")
                w = int(value.u.int64);
            else if (value.format == MPV_FORMAT_INT64 && key == "demux-h")
                h = int(value.u.int64);
            else if (value.format == MPV_FORMAT_INT64 && key == "hls-bitrate")
                v.bandwidth = value.u.int64;
            else if (value.format == MPV_FORMAT_FLAG && key == "selected")
                isSelected = value.u.flag;
            else if (value.format == MPV_FORMAT_FLAG && key == "albumart" && value.u.flag)
                video = false;
        }
        if (!video)
            continue;
        if (w > 0 && h > 0)
            v.size = QSize(w, h);
        if (isSelected)
            selected = v.track;
        tracks << v;
    }
    m_adaptive->setTracks(tracks, selected);
}

void MpvBackend::stop()
{
    m_failurePending = false;
    m_timePoll.stop();
    ++m_endSerial;
    if (m_adaptive)
        m_adaptive->stop();
    m_switching = false;
    m_pendingUrl.clear();
    m_opening = m_loaded = false;
    command({"stop"});
    reportPhase();
}

void MpvBackend::setPaused(bool paused) { setFlag("pause", paused); }
void MpvBackend::seek(double seconds) { command({"seek", QByteArray::number(seconds), "absolute"}); }
void MpvBackend::setVolume(int volume) { setNumber("volume", qBound(0, volume, 100)); }
void MpvBackend::setMute(bool mute) { setFlag("mute", mute); }

void MpvBackend::setStretchToFit(bool stretch)
{
    if (!m_mpv)
        return;
    // Stretched: scale to the player keeping the aspect ratio. Otherwise the
    // video is never drawn larger than its own size.
    mpv_set_property_string(m_mpv, "video-unscaled", stretch ? "no" : "downscale-big");
}

void MpvBackend::drainEvents()
{
    if (m_draining)
        return;
    m_draining = true;
    m_wakeupPending = false;
    while (m_mpv) {
        mpv_event *event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handle(event);
    }
    // A failure is told once the engine's lines before it are in: libmpv
    // hands out events before the log lines that came earlier.
    if (m_failurePending) {
        // The core that gets FFmpeg's lines may not have fetched them yet.
        for (const QPointer<MpvBackend> &other : QList<QPointer<MpvBackend>>(g_backends))
            if (other && other != this)
                other->drainEvents();
    }
    m_draining = false;
    if (m_failurePending) {
        m_failurePending = false;
        QStringList lines = sharedLinesFor(m_openedUrl, m_openedAt) + m_engineLines;
        lines << m_failureText;
        m_engineLines.clear();
        const QString reason = StatusReasons::fromEngine(lines, m_openedUrl);
        // yt-dlp's hook says it is missing in a log line that can come just
        // after the end: the reason waits a moment for it (unless a new open
        // comes first).
        const quint64 serial = ++m_endSerial;
        QTimer::singleShot(ReasonSettleMs, this, [this, serial, reason] {
            if (serial == m_endSerial)
                emit finished(true, m_ytdlMissing ? StatusReasons::text(StatusReasons::Cause::YtDlpNeeded) : reason);
        });
    }
}

void MpvBackend::handle(const mpv_event *event)
{
    switch (event->event_id) {
    case MPV_EVENT_LOG_MESSAGE: {
        auto *msg = static_cast<mpv_event_log_message *>(event->data);
        if (qstrcmp(msg->prefix, "ytdl_hook") == 0) {
            // yt-dlp's words about an address the engine could not read
            // stay out of the reason: the engine's own say what it was.
            if (QByteArray(msg->text).contains("not found or not enough permissions"))
                m_ytdlMissing = true;
            qCDebug(lcMpv) << msg->prefix << QString::fromUtf8(msg->text).trimmed();
            break;
        }
        const QString line = QString::fromUtf8(msg->prefix) + QStringLiteral(": ")
                             + QString::fromUtf8(msg->text).trimmed();
        if (msg->log_level > MPV_LOG_LEVEL_WARN) {
            // informative only: logged, never a reason
        } else if (qstrncmp(msg->prefix, "ffmpeg", 6) == 0) {
            keepShared(line);
        } else {
            if (m_engineLines.size() == KeptEngineLines)
                m_engineLines.removeFirst();
            m_engineLines << line;
        }
        qCDebug(lcMpv).noquote() << msg->level << line;
        break;
    }
    case MPV_EVENT_START_FILE:
        m_opening = true;
        break;
    case MPV_EVENT_FILE_LOADED:
        m_opening = false;
        m_loaded = true;
        m_timePoll.start();
        mpv_get_property_async(m_mpv, ReplyTracks, "track-list", MPV_FORMAT_NODE);
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        m_restarted = true;
        m_switching = false;
        break;
    case MPV_EVENT_END_FILE: {
        auto *end = static_cast<mpv_event_end_file *>(event->data);
        if (end->reason == MPV_END_FILE_REASON_STOP || end->reason == MPV_END_FILE_REASON_QUIT
            || end->reason == MPV_END_FILE_REASON_REDIRECT)
            break;
        m_opening = m_loaded = m_restarted = m_switching = false;
        m_timePoll.stop();
        reportPhase();
        if (end->reason == MPV_END_FILE_REASON_ERROR) {
            m_failurePending = true; // told at the end of drainEvents()
            m_failureText = QString::fromUtf8(mpv_error_string(end->error));
        } else {
            emit finished(false, QString());
        }
        return;
    }
    case MPV_EVENT_GET_PROPERTY_REPLY:
        if (event->error < 0)
            return;
        [[fallthrough]];
    case MPV_EVENT_PROPERTY_CHANGE: {
        auto *prop = static_cast<mpv_event_property *>(event->data);
        if (event->reply_userdata == ReplyTracks) {
            if (prop->format == MPV_FORMAT_NODE)
                readTracks(static_cast<mpv_node *>(prop->data));
            return;
        }
        const bool has = prop->format != MPV_FORMAT_NONE && prop->data;
        switch (event->reply_userdata) {
        case ObservePause:
            m_paused = has && *static_cast<int *>(prop->data);
            break;
        case ObserveCacheWait: {
            const bool waiting = has && *static_cast<int *>(prop->data);
            if (waiting && !m_pausedForCache) {
                m_cacheWait.start();
            } else if (!waiting && m_pausedForCache && m_loaded && !m_seekable && !m_loadedUrl.isEmpty()
                       && m_cacheWait.elapsed() >= LiveCatchUpMs) {
                // A live stream that waited this long for its server plays
                // on as far behind the live edge as it waited: opened
                // again, it picks up at the edge (the player goes on saying
                // it plays meanwhile).
                qCDebug(lcMpv) << "waited" << m_cacheWait.elapsed() << "ms for a live stream: back to its live edge";
                QTimer::singleShot(0, this, [this] { loadNow(m_loadedUrl, true); });
            }
            m_pausedForCache = waiting;
            break;
        }
        case ObserveCachePct:
            m_cachePercent = has ? int(*static_cast<int64_t *>(prop->data)) : 0;
            break;
        case ObserveTime:
            m_position = has ? *static_cast<double *>(prop->data) : 0;
            emit timeChanged(m_position, m_duration, m_seekable);
            return;
        case ObserveDuration:
            m_duration = has ? *static_cast<double *>(prop->data) : 0;
            emit timeChanged(m_position, m_duration, m_seekable);
            return;
        case ObserveSeekable:
            m_seekable = has && *static_cast<int *>(prop->data);
            emit timeChanged(m_position, m_duration, m_seekable);
            return;
        case ReplyDropped:
            m_dropped = has ? *static_cast<int64_t *>(prop->data) : 0;
            return;
        case ObserveIcyTitle: {
            const QString title = has && prop->format == MPV_FORMAT_STRING
                                      ? QString::fromUtf8(*static_cast<char **>(prop->data)).trimmed()
                                      : QString();
            if (title != m_title) {
                m_title = title;
                emit titleChanged(title);
            }
            return;
        }
        case ObserveWidth:
        case ObserveHeight: {
            const int value = has ? int(*static_cast<int64_t *>(prop->data)) : 0;
            (event->reply_userdata == ObserveWidth ? m_source.rwidth() : m_source.rheight()) = value;
            fitDecoding();
            return;
        }
        case ObserveHwdec:
            m_softwareDecoding = !has || prop->format != MPV_FORMAT_STRING
                                 || qstrcmp(*static_cast<char **>(prop->data), "no") == 0;
            fitDecoding();
            return;
        case ReplyDecoderDropped: // asked for last: both counters are fresh
            m_decoderDropped = has ? *static_cast<int64_t *>(prop->data) : 0;
            logFrames();
            return;
        default:
            break;
        }
        break;
    }
    default:
        return;
    }
    reportPhase();
}

void MpvBackend::fitDecoding()
{
    if (!m_mpv || m_source.isEmpty() || !m_adaptive)
        return;
    const QSize area = m_adaptive->area();
    // Hardware decoders do all of their work whatever is asked; the
    // shortcut is for the software decoder only.
    const bool skip = m_softwareDecoding && VariantChoice::skipLoopFilter(m_source, area);
    if (skip == m_skippingLoopFilter)
        return;
    m_skippingLoopFilter = skip;
    qCDebug(lcMpv) << "loop filter" << (skip ? "skipped" : "applied") << "for" << m_source << "in" << area;
    command({"set", "vd-lavc-skiploopfilter", skip ? "all" : "default"});
    // The decoder reads the setting when it starts: a change of the
    // hardware-decoding choice starts it again where it is, seamlessly on
    // a live stream. Both choices mean software decoding here (the
    // engine found no hardware decoder), so alternating between them
    // changes nothing else.
    m_hwdecFlipped = !m_hwdecFlipped;
    command({"set", "hwdec", m_hwdecFlipped ? QByteArray("no") : m_hwdec});
}

void MpvBackend::logFrames()
{
    if (!m_video)
        return;
    const PlayerLog::FrameCounts counts{m_surface->framesRendered(), m_surface->framesShown(), m_dropped,
                                        m_decoderDropped};
    if (counts == m_loggedFrames)
        return;
    m_loggedFrames = counts;
    PlayerLog::frames(m_video->parentWidget(), counts);
}

void MpvBackend::reportPhase()
{
    if (m_switching)
        return; // what plays goes on until the other variant shows
    PlayState phase = PlayState::Undefined;
    int percent = 0;
    if (m_loaded && m_paused)
        phase = PlayState::Paused;
    else if (m_loaded && m_pausedForCache) {
        phase = PlayState::Buffering;
        percent = m_cachePercent;
    } else if (m_loaded && m_restarted)
        phase = PlayState::Playing;
    else if (m_opening || m_loaded || !m_pendingUrl.isEmpty())
        phase = PlayState::Transitioning;
    if (phase != m_lastPhase || percent != m_lastPercent) {
        m_lastPhase = phase;
        m_lastPercent = percent;
        emit phaseChanged(phase, percent);
    }
}
