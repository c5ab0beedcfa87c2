#include "player/AdaptiveStream.h"
#include "player/DashLive.h"

#include <QEvent>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QUrlQuery>
#include <QWidget>

Q_LOGGING_CATEGORY(lcAdaptive, "kijkraam.player.variant", QtWarningMsg)

AdaptiveStream::AdaptiveStream(QObject *parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &AdaptiveStream::reconsider);
    m_masterTimeout.setSingleShot(true);
    connect(&m_masterTimeout, &QTimer::timeout, this, [this] {
        if (m_reply)
            m_reply->abort(); // answered as a failure: the address is loaded as it is
    });
}

AdaptiveStream::~AdaptiveStream() { stop(); }

void AdaptiveStream::setProxyPort(quint16 port)
{
    m_net.setProxy(port ? QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), port)
                        : QNetworkProxy(QNetworkProxy::NoProxy));
}

void AdaptiveStream::watch(QWidget *video)
{
    if (m_video)
        m_video->removeEventFilter(this);
    m_video = video;
    if (video)
        video->installEventFilter(this);
}

QSize AdaptiveStream::area() const
{
    if (!m_video || !m_video->isVisible())
        return QSize();
    return m_video->size() * m_video->devicePixelRatioF();
}

bool AdaptiveStream::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_video && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        m_settle.start();
    return false;
}

void AdaptiveStream::stop()
{
    m_masterTimeout.stop();
    m_settle.stop();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    m_variants.clear();
    m_tracks.clear();
    m_current = -1;
    m_currentTrack = 0;
}

void AdaptiveStream::open(const QString &url)
{
    stop();
    m_url = url;
    const QUrl address(url);
    const QString scheme = address.scheme().toLower();
    const QString path = address.path().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || !(path.endsWith(QLatin1String(".m3u8")) || path.endsWith(QLatin1String(".mpd")))) {
        emit load(url, false);
        return;
    }
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    m_reply = m_net.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        if (m_reply && m_reply->bytesAvailable() > VariantChoice::MaxMasterBytes)
            m_reply->abort(); // no master is that long
    });
    connect(m_reply, &QNetworkReply::finished, this, &AdaptiveStream::onMaster);
    m_reply->setReadBufferSize(VariantChoice::MaxMasterBytes + 1);
    m_masterTimeout.start(MasterTimeoutMs);
}

void AdaptiveStream::onMaster()
{
    m_masterTimeout.stop();
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    reply->deleteLater();
    m_reply = nullptr;
    QList<VariantChoice::Variant> variants;
    bool ownSound = false;
    if (reply->error() == QNetworkReply::NoError)
        variants = VariantChoice::readMaster(reply->read(VariantChoice::MaxMasterBytes + 1), reply->url(), &ownSound);
    if (ownSound) {
        // One variant's playlist would play without its sound. A live DASH
        // stream (which the gate tells as HLS) has a master per video
        // representation; an HLS master is the engine's to play whole.
        const bool dash = QUrl(m_url).path().toLower().endsWith(QLatin1String(".mpd"));
        for (VariantChoice::Variant &v : variants)
            v.url = DashLive::singleVideoUrl(QUrl(m_url),
                                             QUrlQuery(v.url).queryItemValue(QLatin1String(DashLive::QueryItem)));
        if (!dash)
            variants.clear();
    }
    if (variants.size() < 2) {
        // Not a master of several variants (or not readable): the engine
        // opens the address itself and says what went wrong, if anything.
        emit load(m_url, false);
        return;
    }
    m_variants = variants;
    m_current = VariantChoice::choose(m_variants, area());
    qCDebug(lcAdaptive).noquote() << "variant" << m_current << m_variants[m_current].size
                                  << m_variants[m_current].url.toString() << "for" << area();
    emit load(m_variants[m_current].url.toString(), false);
}

void AdaptiveStream::setTracks(const QList<VariantChoice::Variant> &tracks, int selectedTrack)
{
    if (!m_variants.isEmpty())
        return; // a variant of a master plays: it has one video track
    m_tracks = tracks;
    m_currentTrack = selectedTrack;
    for (const VariantChoice::Variant &t : tracks)
        qCDebug(lcAdaptive) << "video track" << t.track << t.size << t.bandwidth << (t.track == selectedTrack);
    reconsider();
}

void AdaptiveStream::reconsider()
{
    const QSize size = area();
    if (size.isEmpty())
        return;
    emit areaSettled(size);
    if (!m_variants.isEmpty() && m_current >= 0) {
        const int next = VariantChoice::choose(m_variants, size);
        if (next != m_current && next >= 0) {
            qCDebug(lcAdaptive).noquote()
                << "variant" << next << m_variants[next].size << m_variants[next].url.toString() << "for" << size;
            m_current = next;
            emit load(m_variants[next].url.toString(), true);
        }
    } else if (m_tracks.size() > 1) {
        const int next = VariantChoice::choose(m_tracks, size);
        if (next >= 0 && m_tracks[next].track != m_currentTrack) {
            qCDebug(lcAdaptive) << "track" << m_tracks[next].track << m_tracks[next].size << "for" << size;
            m_currentTrack = m_tracks[next].track;
            emit selectTrack(m_currentTrack);
        }
    }
}
