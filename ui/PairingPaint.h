#pragma once

// Drawing shared by the pairing workspace's layers: fonts in points, hanging cords, ringed
// end dots, the dark casing under coloured strokes and corner brackets.

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QPainterPath>
#include <QPolygonF>

class QPainter;

namespace PairingPaint {

// The ease-in-out timing curve of the workspace's animations.
QEasingCurve easeInOut();

// The dark outline under every coloured stroke.
QColor casing();

// The system's fixed-width font at `size` points, with `spacing` points between letters.
QFont monoFont(double size, QFont::Weight weight, double spacing = 0);

// Sets `font` to `size` points (a point is one logical pixel; fractions kept).
void setFontSize(QFont& font, double size);

// One stroke of a cord: round caps, mitred joins.
void strokeCord(QPainter& painter, const QPainterPath& path, const QColor& color, double width);

// A disc in `color`, ringed `ring` wide in black at half opacity on a circle `ring` larger.
void drawEndDot(QPainter& painter, QPointF center, double radius, const QColor& color, double ring);

// A closed outline: the casing `casingWidth` wide under `color` `width` wide, round joins.
void strokeOutline(QPainter& painter, const QPolygonF& polygon, const QColor& color, double casingWidth, double width);

// Corner brackets along the polygon's sides, over the casing.
void drawBrackets(QPainter& painter, const QPolygonF& polygon, const QColor& color);

}  // namespace PairingPaint
