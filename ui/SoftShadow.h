#pragma once

// A soft black shadow for a rectangle, made once per size and drawn under a picture.

#include <QImage>
#include <QSizeF>

namespace SoftShadow {

// How far the shadow of a `radius`-point blur reaches beyond the rectangle on each side.
double margin(double radius);

// The shadow of a `size`-point rectangle blurred by `radius` points: black with a blurred
// alpha, to be drawn stretched over the rectangle grown by `margin(radius)` on every side.
// It is worked out at half a pixel a point; a shadow this soft looks no different stretched.
QImage make(QSizeF size, double radius);

}  // namespace SoftShadow
