#pragma once
#include <QColor>

// The classic desktop colour scheme that the windows were drawn for.
namespace SystemColors {
inline QColor windowText() { return QColor(0, 0, 0); }
inline QColor window() { return QColor(255, 255, 255); }
inline QColor desktop() { return QColor(58, 110, 165); }
inline QColor highlightText() { return QColor(255, 255, 255); }
inline QColor activeTitleBar() { return QColor(10, 36, 106); }
inline QColor inactiveTitleBar() { return QColor(128, 128, 128); }
inline QColor scrollBar() { return QColor(212, 208, 200); }
} // namespace SystemColors
