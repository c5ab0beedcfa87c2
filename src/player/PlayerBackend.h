#pragma once
// What a media player widget needs from a decoder: open an address, report
// how far it got, draw the video into a widget. The real backend is libmpv;
// window tests plug in a backend of their own through factorySeam.
#include "platform/Seam.h"
#include "player/PlayState.h"

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

class PlayerBackend : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<PlayerBackend *()>;
    // A new decoder from the factory. One that cannot start is reported
    // to the user as a component the program cannot run without.
    static PlayerBackend *create();
    // Where create() gets its decoders from (Seam.h): an empty factory is
    // the libmpv backend.
    static Seam<Factory> factorySeam;

    // Why the decoder could not start, in the library's words; empty when it runs.
    virtual QString startError() const { return QString(); }

    // The widget that shows the video; created on first call, owned by `parent`.
    virtual QWidget *videoWidget(QWidget *parent) = 0;

    virtual void open(const QString &url) = 0; // load and play one address
    virtual void stop() = 0;                   // unload the media
    virtual void setPaused(bool paused) = 0;
    virtual void seek(double seconds) = 0;
    virtual void setVolume(int volume) = 0; // 0..100
    virtual void setMute(bool mute) = 0;
    virtual void setStretchToFit(bool stretch) = 0;

signals:
    // How far the decoder got, in the players' vocabulary (PlayState.h).
    void phaseChanged(PlayState phase, int bufferPercent);
    // The address stopped playing: at its end, or because it failed. A
    // reason is Dutch (StatusReasons); the engine's own words may follow it
    // on lines of their own.
    void finished(bool failed, const QString &reason);
    // The title of what plays: what a radio station plays now, or a title
    // tag; empty when there is none.
    void titleChanged(const QString &title);
    void timeChanged(double position, double duration, bool seekable);
};
