#include "player/WindowsMediaPlayer.h"
#include "player/CertificateDialog.h"
#include "player/PlayerBackend.h"
#include "player/PlayerFrame.h"
#include "player/PlayerLog.h"
#include "player/PlaylistFetcher.h"
#include "player/SoundGroup.h"
#include "player/StreamSession.h"
#include "player/TransportBar.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>

namespace {
constexpr int FocusFrameWidth = 2;
constexpr int SoloMarkWidth = 5; // the focus frame covers the outer two pixels of it
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

    // A thin frame in the highlight colour around a player that has the
    // focus; a wider one in an accent colour around the player whose sound
    // alone is on.
    m_soloMark = new PlayerFrame("soloMark", QColor(255, 170, 0), SoloMarkWidth, this);
    m_focusFrame = new PlayerFrame("focusFrame", palette().color(QPalette::Active, QPalette::Highlight),
                                   FocusFrameWidth, this);

    connect(m_bar, &TransportBar::playPauseClicked, this, &WindowsMediaPlayer::togglePlay);
    connect(m_bar, &TransportBar::stopClicked, this, [this] { controls.stop(); });
    connect(m_bar, &TransportBar::muteToggled, this, &WindowsMediaPlayer::setMute);
    connect(m_bar, &TransportBar::volumeChanged, this, &WindowsMediaPlayer::setVolume);
    connect(m_bar, &TransportBar::seekRequested, m_backend, &PlayerBackend::seek);
    connect(m_session, &StreamSession::progressChanged, m_bar, &TransportBar::setProgress);
    connect(m_session, &StreamSession::stateChanged, this, [this](PlayState state) {
        PlayerLog::playState(this, state);
        m_bar->setRunning(isRunning(state));
        if (state == PlayState::Playing)
            m_untrustedHost.clear();
        emit playStateChanged(int(state));
    });
    connect(m_session, &StreamSession::statusChanged, this, [this](const QString &text) {
        // The tooltip adds the engine's or the network's own words, if any.
        const QString detail = m_session->statusDetail();
        const QString tip = detail.isEmpty() ? text : text + QLatin1Char('\n') + detail;
        PlayerLog::status(this, text);
        m_bar->setStatus(text, tip);
        setToolTip(tip);
        emit statusChanged(text);
    });

    connect(m_fetcher, &PlaylistFetcher::certificateRefused, this,
            [this](const QString &host) { m_untrustedHost = host; });

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
    m_untrustedHost.clear();
    m_session->setAddress(url, m_autoStart);
}

void WindowsMediaPlayer::Controls::play() { m_player->m_session->play(); }
void WindowsMediaPlayer::Controls::pause() { m_player->m_session->pause(); }
void WindowsMediaPlayer::Controls::stop() { m_player->m_session->stop(); }
double WindowsMediaPlayer::Controls::currentPosition() const { return m_player->m_session->position(); }
void WindowsMediaPlayer::closeMedia() { m_session->close(); }
int WindowsMediaPlayer::playState() const { return int(m_session->state()); }
QString WindowsMediaPlayer::statusText() const { return m_session->status(); }

void WindowsMediaPlayer::togglePlay()
{
    if (isRunning(m_session->state()))
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

// ---- one sound at a time ---------------------------------------------------------

void WindowsMediaPlayer::setMute(bool mute) { SoundGroup::setMute(this, mute); }
void WindowsMediaPlayer::soloSound() { SoundGroup::solo(this); }
bool WindowsMediaPlayer::isSoloed() const { return SoundGroup::isSoloed(this); }

void WindowsMediaPlayer::applySound(bool muted)
{
    m_mute = muted;
    m_bar->setMuted(muted);
    m_backend->setMute(muted);
    showMarks();
}

void WindowsMediaPlayer::setStretchToFit(bool on)
{
    m_stretchToFit = on;
    if (!m_fullScreen) // full screen always fills the screen; the setting returns with the window
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

void WindowsMediaPlayer::showMarks()
{
    m_soloMark->showIf(isSoloed() && !m_fullScreen);
    m_focusFrame->showIf(hasFocus() && !m_fullScreen);
}

void WindowsMediaPlayer::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    showMarks();
}

void WindowsMediaPlayer::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    showMarks();
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
        // As large as the screen allows, keeping the aspect ratio, whatever
        // the player's own scaling (a small stream is not left unscaled in
        // the middle of the screen).
        m_backend->setStretchToFit(true);
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
        m_backend->setStretchToFit(m_stretchToFit);
        setGeometry(m_normalGeometry);
        show();
        window()->activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
    showMarks();
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
    const bool solo = SoundGroup::playersBeside(this).size() > 1;
    if (!m_enableContextMenu && !solo && m_untrustedHost.isEmpty()) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("playerMenu"));
    if (m_enableContextMenu) {
        menu.addAction(isRunning(m_session->state()) ? tr("&Pauzeren") : tr("&Afspelen"), this,
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
    if (!m_untrustedHost.isEmpty()) {
        // Trust the one certificate that host presents, then try again.
        if (!menu.isEmpty())
            menu.addSeparator();
        QAction *trust = menu.addAction(
            CertificateDialog::menuText(m_untrustedHost), this,
            [this, host = m_untrustedHost] { CertificateDialog::offer(this, host, [this] { controls.play(); }); });
        trust->setObjectName(QStringLiteral("trustCertificateAction"));
    }
    menu.exec(event->globalPos());
}
