#pragma once

// The window's fixed colours, shared by every view. All opaque, sRGB.

#include <QColor>

namespace Theme {
inline QColor bg() { return QColor::fromRgbF(0.08f, 0.08f, 0.09f); }         // window and toolbar
inline QColor panel() { return QColor::fromRgbF(0.13f, 0.13f, 0.15f); }      // sidebar column
inline QColor canvas() { return QColor::fromRgbF(0.04f, 0.04f, 0.05f); }     // bed backdrop, thumbnails
inline QColor accent() { return QColor::fromRgbF(0.96f, 0.62f, 0.26f); }     // fronts, scanner chip
inline QColor back() { return QColor::fromRgbF(0.36f, 0.78f, 0.92f); }       // backs
inline QColor secondary() { return QColor::fromRgbF(0.58f, 0.58f, 0.58f); }  // status, secondary text

// `c` at opacity `a`.
inline QColor withAlpha(QColor c, double a)
{
    c.setAlphaF(float(a));
    return c;
}
}  // namespace Theme
