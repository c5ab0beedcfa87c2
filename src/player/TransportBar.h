#pragma once
// The player's own controls below the video: play/pause, stop, mute, volume,
// a position slider while the media can be sought, and the status line.
// The buttons stay out of the tab chain; the player takes the focus.
#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;

class TransportBar : public QWidget {
    Q_OBJECT
public:
    explicit TransportBar(QWidget *player);

    void setMode(const QString &uiMode); // "full" and "mini" show the bar, "full" also the position
    void setRunning(bool running);       // the play button pauses while running
    void setMuted(bool muted);
    void setVolume(int volume);
    void setProgress(double position, double duration, bool seekable);
    void setStatus(const QString &text, const QString &toolTip = QString()); // tooltip: the text itself
    // Fit the status line again into what is visible of it: it ends in "…"
    // before the bar's end or before a sibling of the player that lies above it.
    void fitStatus();

signals:
    void playPauseClicked();
    void stopClicked();
    void muteToggled(bool muted); // the user clicked the mute button
    void volumeChanged(int volume);
    void seekRequested(double seconds);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int visibleStatusWidth() const;

    QToolButton *m_playButton;
    QToolButton *m_stopButton;
    QToolButton *m_muteButton;
    QSlider *m_volume;
    QSlider *m_position;
    QLabel *m_status;
    QString m_statusText;
    bool m_full = true;
    bool m_seekable = false;
};
