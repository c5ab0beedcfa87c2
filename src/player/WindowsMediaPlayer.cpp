#include "player/WindowsMediaPlayer.h"
#include "player/PlaylistFetcher.h"
#include "player/TransportIcons.h"
#include "platform/Twips.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QLoggingCategory>
#include <QMenu>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcPlayer, "kijkraam.player", QtWarningMsg)

int WindowsMediaPlayer::s_stallTimeoutMs = 20000;

namespace {
bool isPlaylistName(const QString &address)
{
    const QString path = QUrl(address).path().toLower();
    return path.endsWith(QLatin1String(".asx")) || path.endsWith(QLatin1String(".wax"))
           || path.endsWith(QLatin1String(".wvx"));
}
} // namespace

WindowsMediaPlayer::WindowsMediaPlayer(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_StyledBackground);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, QColor(220, 220, 220));
    setPalette(pal);
    setFocusPolicy(Qt::ClickFocus);

    m_backend = PlayerBackend::create();
    m_backend->setParent(this);
    m_video = m_backend->videoWidget(this);
    m_video->setObjectName(QStringLiteral("video"));
    m_fetcher = new PlaylistFetcher(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_video, 1);

    m_position = new QSlider(Qt::Horizontal, this);
    m_position->setObjectName(QStringLiteral("position"));
    m_position->setRange(0, 0);
    m_position->setFocusPolicy(Qt::NoFocus);
    m_position->hide();
    layout->addWidget(m_position);

    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("transportBar"));
    m_bar->setAutoFillBackground(true);
    QPalette barPal = pal;
    barPal.setColor(QPalette::Window, QColor(32, 32, 40));
    m_bar->setPalette(barPal);
    auto *bar = new QHBoxLayout(m_bar);
    bar->setContentsMargins(2, 1, 2, 1);
    bar->setSpacing(2);
    auto makeButton = [this](const char *name, TransportIcons::Kind icon, const QString &tip) {
        auto *b = new QToolButton(m_bar);
        b->setObjectName(QLatin1String(name));
        b->setIcon(TransportIcons::icon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setIconSize(QSize(14, 14));
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    m_playButton = makeButton("playButton", TransportIcons::Play, tr("Afspelen"));
    m_stopButton = makeButton("stopButton", TransportIcons::Stop, tr("Stoppen"));
    m_muteButton = makeButton("muteButton", TransportIcons::Sound, tr("Geluid uit"));
    m_muteButton->setCheckable(true);
    m_statusLabel = new QLabel(m_bar);
    m_statusLabel->setObjectName(QStringLiteral("status"));
    QFont small = m_statusLabel->font();
    small.setPointSizeF(qMax(6.0, small.pointSizeF() - 1.5));
    m_statusLabel->setFont(small);
    m_statusLabel->setMinimumWidth(10);
    m_statusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_volumeSlider = new QSlider(Qt::Horizontal, m_bar);
    m_volumeSlider->setObjectName(QStringLiteral("volume"));
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setValue(m_volume);
    m_volumeSlider->setFixedWidth(48);
    m_volumeSlider->setFocusPolicy(Qt::NoFocus);
    m_volumeSlider->setToolTip(tr("Volume"));
    // Status last: the windows may lay a button over the bar's right end.
    bar->addWidget(m_playButton);
    bar->addWidget(m_stopButton);
    bar->addWidget(m_muteButton);
    bar->addWidget(m_volumeSlider);
    bar->addSpacing(4);
    bar->addWidget(m_statusLabel, 1);
    layout->addWidget(m_bar);

    connect(m_playButton, &QToolButton::clicked, this, [this] {
        if (m_playState == Playing || m_playState == Buffering)
            controls.pause();
        else
            controls.play();
    });
    connect(m_stopButton, &QToolButton::clicked, this, [this] { controls.stop(); });
    connect(m_muteButton, &QToolButton::toggled, this, &WindowsMediaPlayer::setMute);
    connect(m_volumeSlider, &QSlider::valueChanged, this, &WindowsMediaPlayer::setVolume);
    connect(m_position, &QSlider::sliderReleased, this,
            [this] { m_backend->seek(m_position->value()); });

    connect(m_backend, &PlayerBackend::phaseChanged, this, &WindowsMediaPlayer::onPhase);
    connect(m_backend, &PlayerBackend::finished, this, &WindowsMediaPlayer::onFinished);
    connect(m_backend, &PlayerBackend::timeChanged, this, &WindowsMediaPlayer::onTime);
    connect(m_fetcher, &PlaylistFetcher::playlist, this, &WindowsMediaPlayer::onPlaylist);
    connect(m_fetcher, &PlaylistFetcher::notPlaylist, this, &WindowsMediaPlayer::onNotPlaylist);
    connect(m_fetcher, &PlaylistFetcher::failed, this, &WindowsMediaPlayer::onFetchFailed);
    if (auto *surface = qobject_cast<QWidget *>(m_video)) {
        // The video widget reports double clicks itself (a GL surface eats them).
        if (surface->metaObject()->indexOfSignal("doubleClicked()") >= 0)
            connect(surface, SIGNAL(doubleClicked()), this, SLOT(toggleFullScreenFromVideo()));
    }

    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        m_openTimer.start(OpenTimeoutMs);
        m_backend->open(m_currentAddress);
    });

    m_stallTimer.setSingleShot(true);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] {
        m_lastFailure = tr("geen gegevens meer ontvangen");
        scheduleReconnect();
    });

    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, [this] {
        m_backend->stop();
        onFinished(true, tr("geen beeld na %1 s").arg(OpenTimeoutMs / 1000));
    });
    m_progressWatch.setInterval(1000);
    connect(&m_progressWatch, &QTimer::timeout, this, &WindowsMediaPlayer::checkProgress);

    m_backend->setVolume(m_volume);
    m_backend->setStretchToFit(m_stretchToFit);
    setStatus(QString());
    updateButtons();
}

WindowsMediaPlayer::~WindowsMediaPlayer()
{
    m_reconnectTimer.stop();
    m_fetcher->cancel();
    // The video widget holds the renderer, which must go before the decoder.
    delete m_video;
    m_video = nullptr;
    delete m_backend;
    m_backend = nullptr;
}

// ---- the control's operations ------------------------------------------

void WindowsMediaPlayer::setURL(const QString &url)
{
    m_url = url;
    ++m_generation;
    resetPlayback();
    if (m_url.isEmpty()) {
        setPlayState(Undefined);
        setStatus(tr("Geen adres"));
    } else if (m_autoStart) {
        startOpen();
    } else {
        setPlayState(Ready);
        setStatus(tr("Gereed"));
    }
}

void WindowsMediaPlayer::Controls::play()
{
    WindowsMediaPlayer *p = m_player;
    switch (p->m_playState) {
    case Paused:
        p->m_backend->setPaused(false);
        return;
    case Playing:
    case Buffering:
    case Transitioning:
    case Waiting:
        return;
    default:
        break;
    }
    if (p->m_url.isEmpty())
        return;
    ++p->m_generation;
    p->startOpen();
}

void WindowsMediaPlayer::Controls::pause()
{
    WindowsMediaPlayer *p = m_player;
    if (p->m_playState == Playing || p->m_playState == Buffering)
        p->m_backend->setPaused(true);
}

void WindowsMediaPlayer::Controls::stop()
{
    WindowsMediaPlayer *p = m_player;
    ++p->m_generation;
    p->resetPlayback();
    p->setPlayState(Stopped);
    p->setStatus(tr("Gestopt"));
}

void WindowsMediaPlayer::close()
{
    ++m_generation;
    resetPlayback();
    setPlayState(Undefined);
    setStatus(tr("Gesloten"));
}

void WindowsMediaPlayer::resetPlayback()
{
    m_reconnectTimer.stop();
    m_openTimer.stop();
    m_stallTimer.stop();
    m_progressWatch.stop();
    m_progressSeen = false;
    m_reconnectAttempt = 0;
    m_fetcher->cancel();
    m_backend->stop();
    m_items.clear();
    m_itemIndex = -1;
    m_refIndex = 0;
    m_currentAddress.clear();
    m_everPlayed = m_currentPlayed = false;
    m_lastFailure.clear();
    m_position->hide();
}

// ---- opening an address ---------------------------------------------------

void WindowsMediaPlayer::startOpen()
{
    resetPlayback();
    setPlayState(Transitioning);
    const QUrl url(m_url);
    const QString host = url.host();
    setStatus(host.isEmpty() ? tr("Verbinden...") : tr("Verbinden met %1...").arg(host));
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        m_fetcher->fetch(url);
    } else if (url.isLocalFile()) {
        m_fetcher->fetch(url);
    } else if (scheme.isEmpty() && QFileInfo(m_url).isFile()) {
        m_fetcher->fetch(QUrl::fromLocalFile(QFileInfo(m_url).absoluteFilePath()));
    } else {
        // mms, rtsp and anything else: the decoder opens it itself.
        onNotPlaylist(QUrl(m_url));
    }
}

void WindowsMediaPlayer::onNotPlaylist(const QUrl &url)
{
    Item item;
    item.item.kind = Asx::Item::Entry;
    item.item.refs << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    item.media = true;
    if (m_itemIndex >= 0 && m_itemIndex < m_items.size()) {
        // A nested reference that turned out to be media.
        item.depth = m_items[m_itemIndex].depth;
        m_items[m_itemIndex] = item;
        --m_itemIndex;
    } else {
        m_items = {item};
        m_itemIndex = -1;
    }
    playNextItem();
}

void WindowsMediaPlayer::onPlaylist(const Asx::Playlist &list, const QUrl &url)
{
    QList<Item> items;
    const bool nested = m_itemIndex >= 0 && m_itemIndex < m_items.size();
    const int depth = nested ? m_items[m_itemIndex].depth + 1 : 0;
    const QStringList chain = (nested ? m_items[m_itemIndex].chain : QStringList()) << url.toString();
    for (const Asx::Item &a : list.items) {
        Item item;
        item.item = a;
        item.depth = depth;
        item.chain = chain;
        items << item;
    }
    if (!nested) {
        if (!list.valid || items.isEmpty()) {
            failOpen(list.valid ? tr("lege afspeellijst") : tr("ongeldige afspeellijst"));
            return;
        }
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

void WindowsMediaPlayer::onFetchFailed(const QString &reason)
{
    if (m_itemIndex >= 0 && m_itemIndex < m_items.size()) {
        m_lastFailure = reason; // a nested playlist: go on with the next entry
        playNextItem();
        return;
    }
    failOpen(reason);
}

void WindowsMediaPlayer::playNextItem()
{
    ++m_itemIndex;
    m_refIndex = 0;
    m_currentPlayed = false;
    while (m_itemIndex < m_items.size()) {
        Item &item = m_items[m_itemIndex];
        if (item.item.kind == Asx::Item::Entry && !item.media && item.item.refs.size() == 1
            && isPlaylistName(item.item.refs.first())) {
            // A reference to another playlist: follow it like ENTRYREF.
            item.item.kind = Asx::Item::EntryRef;
            item.item.href = item.item.refs.first();
        }
        if (item.item.kind == Asx::Item::EntryRef) {
            if (item.depth + 1 > Asx::MaxEntryRefDepth) {
                m_lastFailure = tr("afspeellijsten te diep genest");
            } else if (item.chain.contains(item.item.href)) {
                m_lastFailure = tr("afspeellijst verwijst naar zichzelf");
            } else {
                m_fetcher->fetch(QUrl(item.item.href));
                return;
            }
        } else if (!item.item.refs.isEmpty()) {
            tryCurrentRef();
            return;
        }
        ++m_itemIndex;
    }
    // Nothing left to play.
    m_currentAddress.clear();
    if (m_everPlayed) {
        setPlayState(MediaEnded);
        setPlayState(Stopped);
        setStatus(tr("Afgelopen"));
    } else {
        failOpen(m_lastFailure.isEmpty() ? tr("geen speelbare stream") : m_lastFailure);
    }
}

void WindowsMediaPlayer::tryCurrentRef()
{
    const Item &item = m_items[m_itemIndex];
    m_currentAddress = item.item.refs.value(m_refIndex);
    m_currentPlayed = false;
    m_progressSeen = false;
    m_playedMs = 0;
    m_playingSince.invalidate();
    m_seekable = false;
    m_lastPosition = m_duration = 0;
    m_openTimer.start(OpenTimeoutMs);
    m_backend->open(m_currentAddress);
}

void WindowsMediaPlayer::failOpen(const QString &reason)
{
    m_openTimer.stop();
    m_backend->stop();
    setPlayState(Ready);
    setStatus(tr("Kan niet openen: %1").arg(reason));
}

// ---- what the decoder reports ----------------------------------------------

void WindowsMediaPlayer::onPhase(PlayerBackend::Phase phase, int percent)
{
    if (m_currentAddress.isEmpty())
        return; // stopped or closed meanwhile
    switch (phase) {
    case PlayerBackend::Phase::Idle:
        return;
    case PlayerBackend::Phase::Opening:
        if (m_playState != Reconnecting) {
            setPlayState(Transitioning);
            const QString host = QUrl(m_currentAddress).host();
            setStatus(host.isEmpty() ? tr("Verbinden...") : tr("Verbinden met %1...").arg(host));
        }
        return;
    case PlayerBackend::Phase::Buffering:
        if (m_currentPlayed && !m_stallTimer.isActive())
            m_stallTimer.start(s_stallTimeoutMs);
        setPlayState(Buffering);
        setStatus(tr("Bufferen: %1%").arg(percent));
        return;
    case PlayerBackend::Phase::Playing:
        m_openTimer.stop();
        m_stallTimer.stop();
        if (!m_progressWatch.isActive()) {
            m_lastProgress.start();
            m_progressWatch.start();
        }
        m_everPlayed = m_currentPlayed = true;
        m_reconnectAttempt = 0;
        setPlayState(Playing);
        setStatus(tr("Afspelen"));
        return;
    case PlayerBackend::Phase::Paused:
        m_stallTimer.stop();
        setPlayState(Paused);
        setStatus(tr("Gepauzeerd"));
        return;
    }
}

void WindowsMediaPlayer::onFinished(bool failed, const QString &reason)
{
    m_openTimer.stop();
    if (m_currentAddress.isEmpty() || m_itemIndex < 0 || m_itemIndex >= m_items.size())
        return;
    if (m_playState == Reconnecting) {
        // A try to get a dropped stream back failed: wait longer, try again.
        m_lastFailure = reason;
        scheduleReconnect();
        return;
    }
    if (m_currentPlayed) {
        if (failed || !reachedItsEnd()) {
            m_lastFailure = reason;
            scheduleReconnect();
            return;
        }
        playNextItem();
        return;
    }
    if (failed) {
        m_lastFailure = reason;
        if (++m_refIndex < m_items[m_itemIndex].item.refs.size()) {
            tryCurrentRef();
            return;
        }
    }
    playNextItem();
}

void WindowsMediaPlayer::onTime(double position, double duration, bool seekable)
{
    if (position != m_lastPosition) {
        m_progressSeen = true;
        m_lastProgress.start();
    }
    m_lastPosition = position;
    m_duration = duration;
    m_seekable = seekable;
    const bool showSeek = seekable && duration > 0 && m_uiMode == QLatin1String("full");
    if (showSeek) {
        if (m_position->maximum() != int(duration))
            m_position->setRange(0, int(duration));
        if (!m_position->isSliderDown())
            m_position->setValue(int(position));
    }
    m_position->setVisible(showSeek);
}

bool WindowsMediaPlayer::reachedItsEnd() const
{
    // A file can be sought and ends where its length says, after about that
    // much playing. A live stream cannot be sought and its length only
    // grows: when it stops, it was dropped.
    if (!m_seekable || m_duration <= 0 || m_lastPosition < m_duration - 2.0)
        return false;
    qint64 played = m_playedMs;
    if (m_playingSince.isValid())
        played += m_playingSince.elapsed();
    return played <= qint64((m_duration + 10.0) * 1000);
}

int WindowsMediaPlayer::reconnectDelayMs(int attempt)
{
    // 1, 2, 4, 8, 16, then every 30 seconds.
    if (attempt <= 0)
        return 1000;
    return qMin(30000, 1000 << qMin(attempt - 1, 5));
}

void WindowsMediaPlayer::checkProgress()
{
    const bool running = m_playState == Playing || m_playState == Buffering;
    if (!running) {
        m_progressWatch.stop();
        return;
    }
    // Some decoders keep saying "playing" while a live source has gone
    // quiet; a position that stands still tells.
    if (m_progressSeen && m_currentPlayed && m_lastProgress.isValid()
        && m_lastProgress.elapsed() > s_stallTimeoutMs) {
        m_lastFailure = tr("geen gegevens meer ontvangen");
        scheduleReconnect();
    }
}

void WindowsMediaPlayer::scheduleReconnect()
{
    m_stallTimer.stop();
    m_progressWatch.stop();
    m_progressSeen = false;
    m_backend->stop();
    ++m_reconnectAttempt;
    const int delay = reconnectDelayMs(m_reconnectAttempt);
    setPlayState(Reconnecting);
    setStatus(tr("Verbinding verbroken; opnieuw verbinden over %1 s (poging %2)")
                  .arg((delay + 999) / 1000)
                  .arg(m_reconnectAttempt));
    m_reconnectTimer.start(delay);
}

// ---- state, status, look -----------------------------------------------------

void WindowsMediaPlayer::setPlayState(int state)
{
    if (state == m_playState)
        return;
    if (m_playState == Playing && m_playingSince.isValid()) {
        m_playedMs += m_playingSince.elapsed();
        m_playingSince.invalidate();
    }
    if (state == Playing)
        m_playingSince.start();
    m_playState = state;
    qCDebug(lcPlayer).noquote() << QStringLiteral("%1/%2 playState %3")
                                       .arg(window() ? window()->objectName() : QString(),
                                            objectName())
                                       .arg(state);
    updateButtons();
    emit playStateChanged(state);
}

void WindowsMediaPlayer::setStatus(const QString &text)
{
    m_status = text;
    m_statusLabel->setText(text);
    m_statusLabel->setToolTip(text);
    emit statusChanged(text);
}

void WindowsMediaPlayer::updateButtons()
{
    const bool running = m_playState == Playing || m_playState == Buffering;
    m_playButton->setIcon(TransportIcons::icon(running ? TransportIcons::Pause : TransportIcons::Play));
    m_playButton->setToolTip(running ? tr("Pauzeren") : tr("Afspelen"));
}

void WindowsMediaPlayer::setUiMode(const QString &mode)
{
    m_uiMode = mode;
    m_bar->setVisible(mode == QLatin1String("full") || mode == QLatin1String("mini"));
}

void WindowsMediaPlayer::setVolume(int volume)
{
    m_volume = qBound(0, volume, 100);
    if (m_volumeSlider->value() != m_volume)
        m_volumeSlider->setValue(m_volume);
    m_backend->setVolume(m_volume);
}

void WindowsMediaPlayer::setMute(bool mute)
{
    m_mute = mute;
    if (m_muteButton->isChecked() != mute)
        m_muteButton->setChecked(mute);
    m_muteButton->setIcon(TransportIcons::icon(mute ? TransportIcons::Muted : TransportIcons::Sound));
    m_backend->setMute(mute);
}

void WindowsMediaPlayer::setStretchToFit(bool on)
{
    m_stretchToFit = on;
    m_backend->setStretchToFit(on);
}

// ---- placement and full screen ------------------------------------------------

void WindowsMediaPlayer::placed()
{
    const QRect rect = pixelRect();
    if (m_fullScreen)
        m_normalGeometry = rect;
    else
        setGeometry(rect);
}

void WindowsMediaPlayer::setFullScreen(bool on)
{
    if (on == m_fullScreen)
        return;
    m_fullScreen = on;
    if (on) {
        m_normalGeometry = geometry();
        QScreen *screen = window()->screen();
        // The player itself becomes a full-screen window; its video widget
        // keeps its GL context because the application shares contexts.
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        // Cover the screen also where no window manager honours full screen.
        if (screen)
            setGeometry(screen->geometry());
        showFullScreen();
        raise();
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    } else {
        setWindowFlags(Qt::Widget);
        setGeometry(m_normalGeometry);
        show();
    }
}

void WindowsMediaPlayer::toggleFullScreenFromVideo()
{
    setFullScreen(!m_fullScreen);
}

void WindowsMediaPlayer::keyPressEvent(QKeyEvent *event)
{
    if (m_fullScreen && event->key() == Qt::Key_Escape) {
        setFullScreen(false);
        return;
    }
    QWidget::keyPressEvent(event);
}

void WindowsMediaPlayer::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_fullScreen)
        setFullScreen(false);
    QWidget::mouseDoubleClickEvent(event);
}

void WindowsMediaPlayer::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_enableContextMenu) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    const bool running = m_playState == Playing || m_playState == Buffering;
    menu.addAction(running ? tr("&Pauzeren") : tr("&Afspelen"), this, [this, running] {
        if (running)
            controls.pause();
        else
            controls.play();
    });
    menu.addAction(tr("&Stoppen"), this, [this] { controls.stop(); });
    menu.addSeparator();
    QAction *full = menu.addAction(tr("&Volledig scherm"), this, [this] { setFullScreen(!m_fullScreen); });
    full->setCheckable(true);
    full->setChecked(m_fullScreen);
    menu.exec(event->globalPos());
}
