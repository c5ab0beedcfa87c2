#include "player/WindowsMediaPlayer.h"
#include "player/PlayerBackend.h"
#include "player/PlaylistFetcher.h"
#include "player/SoundSolo.h"
#include "player/StreamSession.h"
#include "player/TransportBar.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcPlayer, "kijkraam.player", QtWarningMsg)

namespace {
constexpr int FocusFrameWidth = 2;
constexpr int SoloMarkWidth = 5; // the focus frame covers the outer two pixels of it

// Which player of a window has the solo: kept by the window, so that the
// choice lasts while the window does.
class SoloHolder : public QObject {
public:
    explicit SoloHolder(QObject *window) : QObject(window) { setObjectName(QStringLiteral("soundSolo")); }
    static SoloHolder *of(QWidget *window, bool create)
    {
        if (!window)
            return nullptr;
        for (QObject *child : window->children())
            if (auto *holder = dynamic_cast<SoloHolder *>(child))
                return holder;
        return create ? new SoloHolder(window) : nullptr;
    }
    QPointer<QObject> soloed;
};
} // namespace

WindowsMediaPlayer::WindowsMediaPlayer(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_StyledBackground);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, QColor(220, 220, 220));
    setPalette(pal);
    // Tab and click give the player the focus; Space then plays and pauses.
    setFocusPolicy(Qt::StrongFocus);

    m_backend = PlayerBackend::create();
    m_backend->setParent(this);
    m_video = m_backend->videoWidget(this);
    m_video->setObjectName(QStringLiteral("video"));
    m_fetcher = new PlaylistFetcher(this);
    m_session = new StreamSession(m_backend, m_fetcher, SessionClock::system(), SessionTiming::forPlayers(), this);
    m_bar = new TransportBar(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_video, 1);
    layout->addWidget(m_bar);

    // A thin frame in the highlight colour around a player that has the focus.
    m_focusFrame = new QWidget(this);
    m_focusFrame->setObjectName(QStringLiteral("focusFrame"));
    m_focusFrame->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_focusFrame->setAutoFillBackground(true);
    QPalette framePal = m_focusFrame->palette();
    framePal.setColor(QPalette::Window, framePal.color(QPalette::Active, QPalette::Highlight));
    m_focusFrame->setPalette(framePal);
    m_focusFrame->hide();

    // A frame in an accent colour around the player whose sound alone is on.
    m_soloMark = new QWidget(this);
    m_soloMark->setObjectName(QStringLiteral("soloMark"));
    m_soloMark->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_soloMark->setAutoFillBackground(true);
    QPalette markPal = m_soloMark->palette();
    markPal.setColor(QPalette::Window, QColor(255, 170, 0));
    m_soloMark->setPalette(markPal);
    m_soloMark->hide();

    connect(m_bar, &TransportBar::playPauseClicked, this, &WindowsMediaPlayer::togglePlay);
    connect(m_bar, &TransportBar::stopClicked, this, [this] { controls.stop(); });
    connect(m_bar, &TransportBar::muteToggled, this, &WindowsMediaPlayer::setMute);
    connect(m_bar, &TransportBar::volumeChanged, this, &WindowsMediaPlayer::setVolume);
    connect(m_bar, &TransportBar::seekRequested, m_backend, &PlayerBackend::seek);
    connect(m_session, &StreamSession::progressChanged, m_bar, &TransportBar::setProgress);
    connect(m_session, &StreamSession::stateChanged, this, [this](int state) {
        qCDebug(lcPlayer).noquote() << QStringLiteral("%1/%2 playState %3")
                                           .arg(window() ? window()->objectName() : QString(), objectName())
                                           .arg(state);
        m_bar->setRunning(m_session->isRunning());
        emit playStateChanged(state);
    });
    connect(m_session, &StreamSession::statusChanged, this, [this](const QString &text) {
        m_bar->setStatus(text);
        setToolTip(text);
        emit statusChanged(text);
    });

    m_bar->setVolume(m_volume);
    m_backend->setVolume(m_volume);
    m_backend->setStretchToFit(m_stretchToFit);
}

WindowsMediaPlayer::~WindowsMediaPlayer()
{
    // The session first: it ends every retry. The backend then ends the
    // decoder, its renderer before its core.
    delete m_session;
    delete m_backend;
}

// ---- the control's operations ------------------------------------------

void WindowsMediaPlayer::setURL(const QString &url)
{
    m_url = url;
    m_session->setAddress(url, m_autoStart);
}

void WindowsMediaPlayer::Controls::play() { m_player->m_session->play(); }
void WindowsMediaPlayer::Controls::pause() { m_player->m_session->pause(); }
void WindowsMediaPlayer::Controls::stop() { m_player->m_session->stop(); }
double WindowsMediaPlayer::Controls::currentPosition() const { return m_player->m_session->position(); }
void WindowsMediaPlayer::close() { m_session->close(); }
int WindowsMediaPlayer::playState() const { return m_session->state(); }
QString WindowsMediaPlayer::statusText() const { return m_session->status(); }

void WindowsMediaPlayer::togglePlay()
{
    if (m_session->isRunning())
        controls.pause();
    else
        controls.play();
}

// ---- design settings ------------------------------------------------------------

void WindowsMediaPlayer::setUiMode(const QString &mode)
{
    m_uiMode = mode;
    m_bar->setMode(mode);
}

void WindowsMediaPlayer::setVolume(int volume)
{
    m_volume = qBound(0, volume, 100);
    m_bar->setVolume(m_volume);
    m_backend->setVolume(m_volume);
}

void WindowsMediaPlayer::applyMute(bool mute)
{
    m_mute = mute;
    m_bar->setMuted(mute);
    m_backend->setMute(mute);
}

// ---- one sound at a time ---------------------------------------------------------

QWidget *WindowsMediaPlayer::hostWindow() const
{
    // A full-screen player is a window of its own; its window is still its parent's.
    return parentWidget() ? parentWidget()->window() : nullptr;
}

QList<WindowsMediaPlayer *> WindowsMediaPlayer::windowPlayers() const
{
    QWidget *host = hostWindow();
    if (!host)
        return {const_cast<WindowsMediaPlayer *>(this)};
    return host->findChildren<WindowsMediaPlayer *>();
}

namespace {
// The players' sound as the rules see it, and back.
SoundSolo::Players soundOf(const QList<WindowsMediaPlayer *> &players, const SoloHolder *holder)
{
    SoundSolo::Players state;
    for (WindowsMediaPlayer *p : players)
        state.muted << p->mute();
    state.soloed = holder ? int(players.indexOf(qobject_cast<WindowsMediaPlayer *>(holder->soloed))) : -1;
    return state;
}
} // namespace

void WindowsMediaPlayer::soloSound()
{
    const QList<WindowsMediaPlayer *> players = windowPlayers();
    SoloHolder *holder = SoloHolder::of(hostWindow(), true);
    const SoundSolo::Players next = SoundSolo::solo(soundOf(players, holder), int(players.indexOf(this)));
    if (holder)
        holder->soloed = next.soloed >= 0 ? players.at(next.soloed) : nullptr;
    for (int i = 0; i < players.size(); ++i) {
        players[i]->applyMute(next.muted.at(i));
        players[i]->showSoloMark();
    }
}

void WindowsMediaPlayer::setMute(bool mute)
{
    SoloHolder *holder = SoloHolder::of(hostWindow(), false);
    if (!holder || !holder->soloed) {
        applyMute(mute);
        return;
    }
    const QList<WindowsMediaPlayer *> players = windowPlayers();
    const SoundSolo::Players next = SoundSolo::mute(soundOf(players, holder), int(players.indexOf(this)), mute);
    applyMute(mute);
    if (next.soloed < 0) {
        holder->soloed = nullptr;
        for (WindowsMediaPlayer *p : players)
            p->showSoloMark();
    }
}

bool WindowsMediaPlayer::isSoloed() const
{
    const SoloHolder *holder = SoloHolder::of(hostWindow(), false);
    return holder && holder->soloed == this;
}

void WindowsMediaPlayer::showSoloMark()
{
    m_soloMark->setVisible(isSoloed() && !m_fullScreen);
    m_soloMark->raise();
    m_focusFrame->raise();
}

void WindowsMediaPlayer::setStretchToFit(bool on)
{
    m_stretchToFit = on;
    m_backend->setStretchToFit(on);
}

// ---- placement, focus and full screen -------------------------------------------

void WindowsMediaPlayer::placed()
{
    const QRect rect = pixelRect();
    if (m_fullScreen)
        m_normalGeometry = rect;
    else
        setGeometry(rect);
}

void WindowsMediaPlayer::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    m_bar->fitStatus(); // what lies above the player may now cover another part
}

void WindowsMediaPlayer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QRect all = rect();
    const auto ring = [&all](int width) {
        return QRegion(all).subtracted(QRegion(all.adjusted(width, width, -width, -width)));
    };
    m_focusFrame->setGeometry(all);
    m_focusFrame->setMask(ring(FocusFrameWidth));
    m_soloMark->setGeometry(all);
    m_soloMark->setMask(ring(SoloMarkWidth));
}

void WindowsMediaPlayer::showFocusFrame()
{
    m_focusFrame->setVisible(hasFocus() && !m_fullScreen);
    m_focusFrame->raise();
}

void WindowsMediaPlayer::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    showFocusFrame();
}

void WindowsMediaPlayer::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    showFocusFrame();
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
        // Becoming a widget again hides the player for a moment, which
        // hands the focus on; the player had it in full screen and keeps it.
        setWindowFlags(Qt::Widget);
        setGeometry(m_normalGeometry);
        show();
        window()->activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
    showFocusFrame();
    showSoloMark();
    m_bar->fitStatus();
}

void WindowsMediaPlayer::keyPressEvent(QKeyEvent *event)
{
    if (m_fullScreen && event->key() == Qt::Key_Escape)
        setFullScreen(false);
    else if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier)
        togglePlay();
    else
        QWidget::keyPressEvent(event);
}

void WindowsMediaPlayer::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click on the video goes to full screen and back; anywhere
    // on a full-screen player it returns.
    if (m_fullScreen || m_video->geometry().contains(event->position().toPoint()))
        setFullScreen(!m_fullScreen);
    else
        QWidget::mouseDoubleClickEvent(event);
}

void WindowsMediaPlayer::contextMenuEvent(QContextMenuEvent *event)
{
    // The component's own items follow its design setting; a player that
    // shares its window with other players always offers the solo.
    const bool solo = windowPlayers().size() > 1;
    if (!m_enableContextMenu && !solo) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("playerMenu"));
    if (m_enableContextMenu) {
        menu.addAction(m_session->isRunning() ? tr("&Pauzeren") : tr("&Afspelen"), this,
                       &WindowsMediaPlayer::togglePlay);
        menu.addAction(tr("&Stoppen"), this, [this] { controls.stop(); });
        menu.addSeparator();
        QAction *full = menu.addAction(tr("&Volledig scherm"), this, [this] { setFullScreen(!m_fullScreen); });
        full->setCheckable(true);
        full->setChecked(m_fullScreen);
    }
    if (solo) {
        if (m_enableContextMenu)
            menu.addSeparator();
        QAction *only = menu.addAction(tr("Alleen dit geluid"), this, &WindowsMediaPlayer::soloSound);
        only->setObjectName(QStringLiteral("soloAction"));
        only->setCheckable(true);
        only->setChecked(isSoloed());
    }
    menu.exec(event->globalPos());
}
