#pragma once
#include "platform/Twips.h"

#include <QRect>

// A control placed in its window's client area in twips. The twip values
// are kept as they were set (not rounded to pixels), so size steps that
// add and then subtract the same amounts give back exactly what was there.
class TwipGeometry {
public:
    virtual ~TwipGeometry() = default;

    double Left() const { return m_left; }
    double Top() const { return m_top; }
    double Width() const { return m_width; }
    double Height() const { return m_height; }
    void setLeft(double tw)
    {
        m_left = tw;
        placed();
    }
    void setTop(double tw)
    {
        m_top = tw;
        placed();
    }
    void setWidth(double tw)
    {
        m_width = tw;
        placed();
    }
    void setHeight(double tw)
    {
        m_height = tw;
        placed();
    }
    void placeTw(double left, double top, double width, double height)
    {
        m_left = left;
        m_top = top;
        m_width = width;
        m_height = height;
        placed();
    }

protected:
    // The rectangle in pixels.
    QRect pixelRect() const
    {
        return QRect(Twips::toPx(m_left), Twips::toPx(m_top), qMax(0, Twips::toPx(m_width)),
                     qMax(0, Twips::toPx(m_height)));
    }
    // Put the control where pixelRect() says.
    virtual void placed() = 0;

private:
    double m_left = 0, m_top = 0, m_width = 0, m_height = 0;
};
