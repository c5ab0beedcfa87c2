#pragma once
// The stream window's snapshot button: a red filled disc on a transparent
// background, placed in twips over the player's lower-right corner and
// kept above the video.
#include <QAbstractButton>

class SnapshotButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SnapshotButton(QWidget *parent = nullptr);

    // Placement in the client area, in twips, like the player's.
    double Left() const { return m_geomTw[0]; }
    double Top() const { return m_geomTw[1]; }
    double Width() const { return m_geomTw[2]; }
    double Height() const { return m_geomTw[3]; }
    void setLeft(double tw);
    void setTop(double tw);
    void placeTw(double left, double top, double width, double height);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    void applyGeometry();
    double m_geomTw[4] = {0, 0, 0, 0};
};
