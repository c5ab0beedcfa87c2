#pragma once
// A decoder that plays nothing: it records what the player asked of it and
// lets a test say what happens next. Install with FakeBackend::install()
// (FakeVideo.cpp: the part that needs widgets).
#include "player/PlayerBackend.h"

#include <QList>
#include <QPointer>
#include <QStringList>

class FakeBackend : public PlayerBackend {
    Q_OBJECT
public:
    FakeBackend();
    ~FakeBackend() override;

    static void install();   // every new player gets a FakeBackend
    static void uninstall(); // back to libmpv
    static QList<FakeBackend *> alive();
    // The backend of a player widget.
    static FakeBackend *of(QObject *player);

    QWidget *videoWidget(QWidget *parent) override;
    void open(const QString &url) override;
    void stop() override;
    void setPaused(bool paused) override;
    void seek(double) override {}
    void setVolume(int volume) override { volume_ = volume; }
    void setMute(bool mute) override { mute_ = mute; }
    void setStretchToFit(bool stretch) override { stretch_ = stretch; }
    QString startError() const override { return startError_; }

    // What happened, in order: "open <url>", "stop", "pause", "resume".
    QStringList calls;
    QString current;
    bool stretch_ = false, mute_ = false;
    int volume_ = -1;
    QString startError_; // a decoder that could not start says why here

    // Drive the player.
    void reachPlaying();
    void reach(PlayState phase, int percent = 0);
    void end(bool failed, const QString &reason = QString());

private:
    // The video area (FakeVideo.cpp, with the widgets): install() sets it,
    // so a test without a display asks for none and gets none.
    static QWidget *(FakeBackend::*s_videoWidget)(QWidget *parent);
    QWidget *makeVideoWidget(QWidget *parent);
    QPointer<QWidget> m_video;
};
