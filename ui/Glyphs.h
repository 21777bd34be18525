#pragma once

// The small symbols of the pairing workspace, drawn as vector paths so that they are crisp at
// any scale and take any colour: the swap arrows of the drag chip, the eye of the all-links
// toggle (open and filled) and the pointer with rays in the footer.

#include <QColor>
#include <QRectF>
#include <QWidget>

class QPainter;

enum class Glyph { swapArrows, eye, eyeFill, cursorRays };

namespace Glyphs {

// The box a symbol of `size` points takes: as tall as the size, as wide as its shape needs.
QSizeF boxSize(Glyph glyph, double size);

// The symbol filling `box`, stroked `weight` points wide.
void draw(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& color, double weight);

}  // namespace Glyphs

// A symbol on its own, as an item of a row of labels.
class GlyphLabel : public QWidget {
public:
    GlyphLabel(Glyph glyph, double size, double weight, const QColor& color, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Glyph glyph_;
    double size_;
    double weight_;
    QColor color_;
};
