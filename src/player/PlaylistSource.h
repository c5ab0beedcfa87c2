#pragma once
// What a stream session needs to look at an address before it plays it:
// fetch it and say (FetchAnswer.h) whether it is a playlist, media for the
// decoder, or an answer that cannot be used.
#include "player/FetchAnswer.h"

#include <QObject>
#include <QUrl>

class PlaylistSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Start fetching; any earlier fetch is abandoned. One answered() follows
    // (never from inside fetch()), unless cancel() comes first.
    virtual void fetch(const QUrl &url) = 0;
    virtual void cancel() = 0;

signals:
    void answered(const FetchAnswer &answer);
};
