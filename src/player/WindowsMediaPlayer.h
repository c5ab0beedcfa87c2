#pragma once
// The embedded media player of every window. Its public face is that of the
// classic Windows Media Player control: URL, controls.play, close (closeMedia), playState,
// fullScreen, placement in twips and the design settings. The playback itself
// is a StreamSession's; this widget adds the video, the transport bar, focus,
// full screen, the context menu and "one sound at a time" among the players
// of its window (SoundGroup).
#include "platform/TwipGeometry.h"
#include "player/PlayState.h"

#include <QWidget>

class PlayerBackend;
class PlayerFrame;
class PlaylistFetcher;
class StreamSession;
class TransportBar;

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
    explicit WindowsMediaPlayer(QWidget *parent = nullptr);
    ~WindowsMediaPlayer() override;

    // controls.play(), controls.pause(), controls.stop(), controls.currentPosition()
    class Controls {
    public:
        void play();
        void pause();
        void stop();
        double currentPosition() const; // seconds into what plays; 0 when nothing does
    private:
        friend class WindowsMediaPlayer;
        explicit Controls(WindowsMediaPlayer *p) : m_player(p) {}
        WindowsMediaPlayer *m_player;
    };
    Controls controls{this};

    QString URL() const { return m_url; }
    void setURL(const QString &url);
    // The control's close: stop playback and release the media. (Not
    // close(): that would hide QWidget::close(), which a player called
    // through a QWidget pointer would then do instead.)
    void closeMedia();
    int playState() const; // a PlayState, as the control's number
    bool fullScreen() const { return m_fullScreen; }
    void setFullScreen(bool on);

    QString uiMode() const { return m_uiMode; }
    void setUiMode(const QString &mode);
    int volume() const { return m_volume; }
    void setVolume(int volume);
    bool mute() const { return m_mute; }
    // Mute or unmute this player; a solo in its window ends when it no
    // longer holds.
    void setMute(bool mute);

    // "Alleen dit geluid": this player's sound alone among the players of
    // its window; on the soloed player, every player's sound back.
    void soloSound();
    bool isSoloed() const;
    // Mute or unmute this player alone and show whether it has its window's
    // solo (what SoundGroup's rules decided; setMute() is the user's way).
    void applySound(bool muted);
    bool stretchToFit() const { return m_stretchToFit; }
    void setStretchToFit(bool on);
    QString statusText() const;

    // Placement in the window's client area, in twips: Left(), Top(),
    // Width(), Height(), setLeft() ... placeTw() (TwipGeometry).

    // The widget that shows the video (for snapshots and tests).
    QWidget *videoSurface() const { return m_video; }

signals:
    void playStateChanged(int state);
    void statusChanged(const QString &text);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void togglePlay();
    void showMarks();
    void placed() override;

    PlayerBackend *m_backend = nullptr;
    PlaylistFetcher *m_fetcher = nullptr;
    StreamSession *m_session = nullptr;
    QWidget *m_video = nullptr;
    TransportBar *m_bar = nullptr;
    PlayerFrame *m_focusFrame = nullptr;
    PlayerFrame *m_soloMark = nullptr;

    QString m_url;
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
    QString m_untrustedHost; // whose certificate kept the address from playing; offered in the menu
};
