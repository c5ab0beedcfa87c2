#pragma once
// The stream window's snapshot button: a red filled disc on a transparent
// background, placed in twips over the player's lower-right corner and
// kept above the video.
#include "platform/TwipGeometry.h"

#include <QAbstractButton>

class SnapshotButton : public QAbstractButton, public TwipGeometry {
    Q_OBJECT
public:
    explicit SnapshotButton(QWidget *parent = nullptr);

    // Placement in the client area, in twips, like the player's (TwipGeometry).

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    void placed() override;
};
