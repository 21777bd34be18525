#pragma once

// The small pictures of the bed view, drawn by us so that they take any colour and never go
// missing: the menu's and the zoom controls' symbols, and the two draw cursors.

#include <QColor>
#include <QCursor>
#include <QIcon>
#include <QPainter>
#include <QRectF>

namespace BedGlyphs {

enum class Glyph {
    uturnLeft,    // an arrow turning back: flip a front over
    photo,        // a framed landscape: a front
    trash,        // a bin: delete
    zoomOut,      // a magnifier with a minus
    zoomIn,       // a magnifier with a plus
    fitToView,    // two arrows pointing in to a corner each
    dashedFrame,  // a dashed rectangle: nothing scanned yet
};

// Draws `glyph` into `box` with strokes `width` wide.
void paint(QPainter& p, Glyph glyph, const QRectF& box, const QColor& color, double width);

// An icon of the glyph for menus, at 16 and 32 pixels and twice that for HiDPI screens.
QIcon icon(Glyph glyph, const QColor& color);

// The cross-hair cursor for drawing a front or a back, made once per process.
const QCursor& drawCursor(bool back);

}  // namespace BedGlyphs
