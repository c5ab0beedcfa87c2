#pragma once
// The embedded media player of every window: video, a transport bar, a
// one-line status in Dutch, and Windows Media playlist handling. Its public
// face is that of the classic Windows Media Player control: URL,
// controls.play, close, playState, fullScreen and the design settings.
#include "player/AsxPlaylist.h"
#include "player/PlayerBackend.h"
#include "platform/TwipGeometry.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class PlaylistFetcher;
class QLabel;
class QSlider;
class QToolButton;

class WindowsMediaPlayer : public QWidget, public TwipGeometry {
    Q_OBJECT
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(int playState READ playState NOTIFY playStateChanged)
    Q_PROPERTY(bool fullScreen READ fullScreen WRITE setFullScreen)
    Q_PROPERTY(bool autoStart MEMBER m_autoStart)
    Q_PROPERTY(QString uiMode READ uiMode WRITE setUiMode)
    Q_PROPERTY(int volume READ volume WRITE setVolume)
    Q_PROPERTY(bool mute READ mute WRITE setMute)
    Q_PROPERTY(bool stretchToFit READ stretchToFit WRITE setStretchToFit)
    Q_PROPERTY(bool enableContextMenu MEMBER m_enableContextMenu)
    Q_PROPERTY(bool enableErrorDialogs MEMBER m_enableErrorDialogs)
    Q_PROPERTY(int playCount MEMBER m_playCount)
    Q_PROPERTY(double rate MEMBER m_rate)
    Q_PROPERTY(int balance MEMBER m_balance)
    Q_PROPERTY(bool invokeURLs MEMBER m_invokeURLs)
    Q_PROPERTY(bool windowlessVideo MEMBER m_windowlessVideo)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusChanged)

public:
    // The standard play states of such players.
    enum PlayState {
        Undefined = 0, Stopped = 1, Paused = 2, Playing = 3, ScanForward = 4, ScanReverse = 5,
        Buffering = 6, Waiting = 7, MediaEnded = 8, Transitioning = 9, Ready = 10, Reconnecting = 11
    };
    Q_ENUM(PlayState)

    explicit WindowsMediaPlayer(QWidget *parent = nullptr);
    ~WindowsMediaPlayer() override;

    // controls.play(), controls.pause(), controls.stop()
    class Controls {
    public:
        void play();
        void pause();
        void stop();
    private:
        friend class WindowsMediaPlayer;
        explicit Controls(WindowsMediaPlayer *p) : m_player(p) {}
        WindowsMediaPlayer *m_player;
    };
    Controls controls{this};

    QString URL() const { return m_url; }
    void setURL(const QString &url);
    // Stop playback and release the media. (Hides QWidget::close on purpose:
    // a player is never closed as a window.)
    void close();
    int playState() const { return m_playState; }
    bool fullScreen() const { return m_fullScreen; }
    void setFullScreen(bool on);

    QString uiMode() const { return m_uiMode; }
    void setUiMode(const QString &mode);
    int volume() const { return m_volume; }
    void setVolume(int volume);
    bool mute() const { return m_mute; }
    void setMute(bool mute);
    bool stretchToFit() const { return m_stretchToFit; }
    void setStretchToFit(bool on);
    QString statusText() const { return m_status; }

    // Placement in the window's client area, in twips: Left(), Top(),
    // Width(), Height(), setLeft() ... placeTw() (TwipGeometry).

    // The widget that shows the video (for snapshots and tests).
    QWidget *videoSurface() const { return m_video; }

    // Pauses between reconnection tries of a live stream that dropped.
    static int reconnectDelayMs(int attempt);
    // How long a stream that was playing may wait for data before it counts as dropped.
    static int stallTimeoutMs() { return s_stallTimeoutMs; }
    static void setStallTimeoutMs(int ms) { s_stallTimeoutMs = ms; }
    // How long opening one address may take before the next one is tried.
    static constexpr int OpenTimeoutMs = 25000;

signals:
    void playStateChanged(int state);
    void statusChanged(const QString &text);

private slots:
    void toggleFullScreenFromVideo();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    struct Item {
        Asx::Item item;
        int depth = 0;
        QStringList chain; // playlists that led here, to catch loops
        bool media = false; // known not to be a playlist, whatever its name
    };

    void startOpen();
    void resetPlayback();
    void onNotPlaylist(const QUrl &url);
    void onPlaylist(const Asx::Playlist &list, const QUrl &url);
    void onFetchFailed(const QString &reason);
    void playNextItem();
    void tryCurrentRef();
    void onPhase(PlayerBackend::Phase phase, int percent);
    void onFinished(bool failed, const QString &reason);
    void onTime(double position, double duration, bool seekable);
    void failOpen(const QString &reason);
    void scheduleReconnect();
    void checkProgress();
    void setPlayState(int state);
    bool reachedItsEnd() const;
    void setStatus(const QString &text);
    void placed() override;
    void updateButtons();

    PlayerBackend *m_backend = nullptr;
    QWidget *m_video = nullptr;
    PlaylistFetcher *m_fetcher = nullptr;
    QWidget *m_bar = nullptr;
    QToolButton *m_playButton = nullptr;
    QToolButton *m_stopButton = nullptr;
    QToolButton *m_muteButton = nullptr;
    QSlider *m_position = nullptr;
    QSlider *m_volumeSlider = nullptr;
    QLabel *m_statusLabel = nullptr;

    QString m_url;
    int m_playState = Undefined;
    QString m_status;
    bool m_fullScreen = false;
    QRect m_normalGeometry;
    bool m_autoStart = true;
    QString m_uiMode = QStringLiteral("full");
    int m_volume = 50;
    bool m_mute = false;
    bool m_stretchToFit = false;
    bool m_enableContextMenu = false;
    bool m_enableErrorDialogs = false;
    int m_playCount = 1;
    double m_rate = 1.0;
    int m_balance = 0;
    bool m_invokeURLs = true;
    bool m_windowlessVideo = false;

    // The playback of one address: a plain address or a playlist's entries.
    QList<Item> m_items;
    int m_itemIndex = -1;
    int m_refIndex = 0;
    QString m_currentAddress;
    bool m_everPlayed = false;     // something of this address played
    bool m_currentPlayed = false;  // the current entry reached playing
    double m_lastPosition = 0, m_duration = 0;
    bool m_seekable = false;
    QString m_lastFailure;
    int m_reconnectAttempt = 0;
    QTimer m_reconnectTimer;
    QTimer m_openTimer;  // an address that does not start playing in time has failed
    QTimer m_stallTimer; // a stream that played and then waits too long has dropped
    QTimer m_progressWatch; // a playing stream whose position stands still has dropped
    QElapsedTimer m_lastProgress;
    QElapsedTimer m_playingSince; // valid while in the playing state
    qint64 m_playedMs = 0;        // time the current entry spent playing
    bool m_progressSeen = false;
    quint64 m_generation = 0;
    static int s_stallTimeoutMs; // invalidates callbacks of abandoned opens
};
