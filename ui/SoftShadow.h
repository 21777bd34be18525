#pragma once

// A soft black shadow for a rectangle, made once per size and drawn under a picture.

#include <QImage>
#include <QSizeF>

namespace SoftShadow {

// How far the shadow of a `radius`-point blur reaches beyond the rectangle on each side.
double margin(double radius);

// The shadow of a `size`-point rectangle blurred by `radius` points, as opaque black with a
// blurred alpha, covering the rectangle grown by `margin(radius)` on every side, in device
// pixels for `devicePixelRatio`.
QImage make(QSizeF size, double radius, double devicePixelRatio);

}  // namespace SoftShadow
