#pragma once
// Plays the variant of an adaptive stream that fits the player's video area
// (VariantChoice), and another when the area changes size.
//
// An http(s) address ending in .m3u8 or .mpd is read first: when it is an
// HLS master with several variants (or a live DASH stream, which EngineGate
// tells as one), the chosen variant's media playlist (for DASH: a master of
// that video and the sound) is what the engine opens, and a change of size opens another variant's (a new open
// picks up at the live edge within about half a second; switching the
// engine's video track at the live edge froze the picture for about 1.5 s,
// jumped and then buffered for another second). Other streams with several
// video tracks (an HLS master with sound of its own, a master not read)
// switch the engine's video track instead.
#include "player/VariantChoice.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

class QNetworkReply;
class QWidget;

class AdaptiveStream : public QObject {
    Q_OBJECT
public:
    explicit AdaptiveStream(QObject *parent = nullptr);
    ~AdaptiveStream() override;

    // The master is read through this HTTP proxy on 127.0.0.1 (0: none).
    void setProxyPort(quint16 port);
    // The widget whose size is the video area.
    void watch(QWidget *video);
    QSize area() const;

    // A new address: load() follows, at once or once its master is read.
    void open(const QString &url);
    void stop();
    // The engine's video tracks of what plays, and the one it shows.
    void setTracks(const QList<VariantChoice::Variant> &tracks, int selectedTrack);

    // Time the size must stand still before another variant is chosen.
    static constexpr int SettleMs = 400;
    static constexpr int MasterTimeoutMs = 10000;

signals:
    // Load this address; `switching`: another variant of what plays.
    void load(const QString &url, bool switching);
    void selectTrack(int track);
    // The video area has a new size, which has stood still for SettleMs.
    void areaSettled(const QSize &area);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onMaster();
    void reconsider();

    QNetworkAccessManager m_net;
    QPointer<QNetworkReply> m_reply;
    QPointer<QWidget> m_video;
    QTimer m_settle;
    QTimer m_masterTimeout;
    QString m_url;
    QList<VariantChoice::Variant> m_variants; // of the master read
    int m_current = -1;
    QList<VariantChoice::Variant> m_tracks; // the engine's
    int m_currentTrack = 0;
};
