#pragma once
// Base of every window of the program. A Form has a name (its objectName:
// the name of its key in the window registry, WindowKey.h), a load handler
// that the registry runs once per load, a client area in which controls sit
// at fixed places in twips, and an outer size in twips that includes the
// frame and menu bar.
#include "platform/WindowKey.h"

#include <QColor>
#include <QMainWindow>
#include <QMargins>
#include <QRectF>
#include <QSizeF>

class Form : public QMainWindow {
    Q_OBJECT
public:
    enum class Frame { FixedSingle, Sizable };

    explicit Form(const QString &name, QWidget *parent = nullptr);
    // A window of the program, named as its key.
    explicit Form(WindowKey key, QWidget *parent = nullptr) : Form(QLatin1String(WindowKeys::nameOf(key)), parent) {}
    ~Form() override;

    // The load handler; runs once when the registry loads the window.
    virtual void Form_Load() {}

    // The area that holds the controls (below the menu bar).
    QWidget *client() const { return m_client; }

    // Design of the window: client area size, frame style, buttons.
    void setDesign(double clientWidthTw, double clientHeightTw, Frame frame, bool minimizeButton, bool maximizeButton);

    double clientWidthTw() const { return m_clientTw.width(); }
    double clientHeightTw() const { return m_clientTw.height(); }
    void setClientSizeTw(double widthTw, double heightTw);

    // Outer size: frame, title bar and menu bar included, as the window system
    // reports them. Setting it keeps the window's position.
    double outerWidthTw() const;
    double outerHeightTw() const;
    void setOuterWidthTw(double tw);
    void setOuterHeightTw(double tw);

    // Place the top-left corner of the client area on the screen.
    void placeClientAtTw(double leftTw, double topTw);
    // Whether the window has been given a position (else the system's default).
    bool hasDesignPosition() const { return m_hasPosition; }

    // Frame and menu bar thickness in twips: what the outer size adds to the client area.
    QSizeF nonClientTw() const;

    // Put a child control at its design place (twips, relative to the client area).
    static void placeTw(QWidget *control, double left, double top, double width, double height);

    // Paint a control's (or the client area's) background in one colour.
    static void fill(QWidget *control, const QColor &colour);
    void setClientColour(const QColor &colour) { fill(m_client, colour); }

    // The order in which Tab moves the keyboard focus through these controls.
    void setTabChain(const QList<QWidget *> &controls);

    // Where the window stands and how far its screen reaches, in twips: the
    // top-left corner of the frame, and the screen's available area (without
    // panels). A window that grows to the right and downwards stays on the
    // screen while its outer size keeps within the two.
    QPointF frameTopLeftTw() const;
    QRectF availableAreaTw() const;
    // The width the menu bar needs to show every menu title.
    double menusWidthTw() const;

signals:
    void unloaded(const QString &name);

protected:
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void applySize();
    void refit();
    int menuHeightPx() const;
    QMargins frameMarginsPx() const;

    QWidget *m_client = nullptr;
    QSizeF m_clientTw;
    Frame m_frame = Frame::FixedSingle;
    bool m_hasPosition = false;
    // The frame the window manager said it would draw, before it did.
    QMargins m_announcedFrame;
    bool m_frameAsked = false;
    QMargins m_fittedFrame; // the frame the outer sizes were last fitted to
    // The outer sizes asked for (-1: none); applied again when the frame is known.
    double m_pinnedOuterW = -1, m_pinnedOuterH = -1;
};
