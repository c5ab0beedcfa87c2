#pragma once
// A coloured ring along the edges of a player: the focus frame, and the mark
// of the player whose sound alone is on. It follows its player's size and
// lets every mouse event through to what lies below.
#include <QList>
#include <QPointer>
#include <QWidget>

class PlayerFrame : public QWidget {
    Q_OBJECT
public:
    PlayerFrame(const char *name, const QColor &colour, int width, QWidget *player);

    // Show or hide the ring, above the player's other children.
    void showIf(bool on);

    // While one lives, the rings inside `window` are hidden: a picture of
    // the window shows the video, not the marks drawn over it. The rings
    // come back as they were when it ends.
    class HiddenIn {
    public:
        explicit HiddenIn(QWidget *window);
        ~HiddenIn();
        HiddenIn(const HiddenIn &) = delete;
        HiddenIn &operator=(const HiddenIn &) = delete;

    private:
        QList<QPointer<PlayerFrame>> m_hidden;
    };

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fit();
    int m_width;
};
