#pragma once
#include "platform/Renderer.h"
#include "player/PlayerBackend.h"
#include "player/PlayerLog.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <optional>

class AdaptiveStream;
class EngineGate;
class MpvVideoSurface;
struct mpv_handle;
struct mpv_event;

// One libmpv core per player. All mpv calls are made on the user-interface
// thread and are asynchronous; mpv's own threads only post wake-ups.
class MpvBackend : public PlayerBackend {
    Q_OBJECT
public:
    MpvBackend();
    ~MpvBackend() override;

    QWidget *videoWidget(QWidget *parent) override;
    void open(const QString &url) override;
    void stop() override;
    void setPaused(bool paused) override;
    void seek(double seconds) override;
    void setVolume(int volume) override;
    void setMute(bool mute) override;
    void setStretchToFit(bool stretch) override;
    QString startError() const override { return m_startError; }
    // The options this libmpv refused when the core was made ("name=value"):
    // each left mpv's default in place. Empty when all were taken.
    QStringList rejectedOptions() const { return m_rejectedOptions; }

    // Cores alive in this process, including those still shutting down.
    static int liveCores();

private:
    void drainEvents();
    void handle(const mpv_event *event);
    void renderReady();
    void reportPhase();
    void logFrames();
    void command(const QList<QByteArray> &args);
    void setFlag(const char *name, bool value);
    void setNumber(const char *name, double value);
    void loadNow(const QString &url, bool switching);
    void readTracks(const struct mpv_node *list);

    mpv_handle *m_mpv = nullptr;
    QString m_startError;
    QPointer<QWidget> m_video;
    MpvVideoSurface *m_surface = nullptr; // the same widget, while m_video lives
    std::atomic<bool> m_wakeupPending{false};
    QString m_pendingUrl; // waits for the render context
    bool m_renderReady = false;
    bool m_loaded = false;  // a file is loaded (between FILE_LOADED and END_FILE)
    bool m_opening = false; // between loadfile and FILE_LOADED
    bool m_paused = false;
    bool m_pausedForCache = false;
    bool m_restarted = false; // the first frame after loading was shown
    int m_cachePercent = 0;
    double m_position = 0, m_duration = 0;
    bool m_seekable = false;
    PlayState m_lastPhase = PlayState::Undefined;
    int m_lastPercent = -1;
    QStringList m_engineLines; // the engine's last lines of this try
    QString m_openedUrl;
    qint64 m_openedAt = 0;
    bool m_draining = false;
    bool m_failurePending = false; // the try failed; told when the engine's lines are in
    QString m_failureText;
    QString m_title; // a radio's now-playing title
    QTimer m_timePoll;
    QStringList m_rejectedOptions;
    qint64 m_dropped = 0, m_decoderDropped = 0;           // mpv's counters, while frames are logged
    std::optional<PlayerLog::FrameCounts> m_loggedFrames; // none yet: the first counts are logged
    EngineGate *m_gate = nullptr;                         // the engine's way to the network; lives in its own thread
    AdaptiveStream *m_adaptive = nullptr;                 // which variant of an adaptive stream fits the video area
    bool m_switching = false;                             // another variant of what plays is being opened
    // Decoding fitted to what is shown: the source's picture size, whether
    // the software decoder decodes it, whether it skips the loop filter
    // (VariantChoice::skipLoopFilter), which of two equal hwdec values is set.
    void fitDecoding();
    QSize m_source;
    bool m_softwareDecoding = false;
    bool m_skippingLoopFilter = false;
    bool m_hwdecFlipped = false;
    QByteArray m_hwdec;         // the table's hardware-decoding choice
    bool m_ytdlMissing = false; // the address needed yt-dlp, which is not there
    quint64 m_endSerial = 0;    // a failure's reason waits for its log lines
    static constexpr int ReasonSettleMs = 150;
    // A live stream that waited for its server this long (ms) is opened
    // again at its live edge once it plays on; shorter waits are ridden out.
    static constexpr int LiveCatchUpMs = 2000;
    QElapsedTimer m_cacheWait; // since the engine began to wait for data
    QString m_loadedUrl;       // what the engine was last told to load
};
