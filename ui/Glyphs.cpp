#include "ui/Glyphs.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace Glyphs {
namespace {

QPainterPath almond(const QRectF& b)
{
    QPainterPath path(QPointF(b.left(), b.center().y()));
    path.quadTo(QPointF(b.center().x(), b.top() - b.height() * 0.55), QPointF(b.right(), b.center().y()));
    path.quadTo(QPointF(b.center().x(), b.bottom() + b.height() * 0.55), QPointF(b.left(), b.center().y()));
    path.closeSubpath();
    return path;
}

void drawSwapArrows(QPainter& p, const QRectF& b, double w)
{
    const double head = b.height() * 0.22;
    const double upper = b.top() + b.height() * 0.25;
    const double lower = b.top() + b.height() * 0.75;
    QPainterPath path;
    // The upper arrow points left, the lower one right.
    path.moveTo(b.right() - w / 2, upper);
    path.lineTo(b.left() + w / 2, upper);
    path.moveTo(b.left() + w / 2 + head, upper - head);
    path.lineTo(b.left() + w / 2, upper);
    path.lineTo(b.left() + w / 2 + head, upper + head);
    path.moveTo(b.left() + w / 2, lower);
    path.lineTo(b.right() - w / 2, lower);
    path.moveTo(b.right() - w / 2 - head, lower - head);
    path.lineTo(b.right() - w / 2, lower);
    path.lineTo(b.right() - w / 2 - head, lower + head);
    p.strokePath(path, QPen(p.brush().color(), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void drawEye(QPainter& p, const QRectF& b, double w, bool filled)
{
    const QRectF inner = b.adjusted(w / 2, w / 2, -w / 2, -w / 2);
    const QColor color = p.brush().color();
    const double pupil = b.height() * 0.2;
    if (filled) {
        QPainterPath shape = almond(inner);
        shape.setFillRule(Qt::OddEvenFill);
        shape.addEllipse(b.center(), pupil, pupil);
        p.strokePath(almond(inner), QPen(color, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.fillPath(shape, color);
        p.fillPath([&] { QPainterPath dot; dot.addEllipse(b.center(), pupil * 0.5, pupil * 0.5); return dot; }(), color);
        return;
    }
    p.strokePath(almond(inner), QPen(color, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath iris;
    iris.addEllipse(b.center(), pupil * 1.25, pupil * 1.25);
    p.fillPath(iris, color);
}

void drawCursorRays(QPainter& p, const QRectF& b, double w)
{
    const QColor color = p.brush().color();
    const double s = b.height();
    // The arrow's tip a little right of and below the middle; three rays spread up and left.
    const QPointF tip(b.left() + s * 0.4, b.top() + s * 0.4);
    QPolygonF arrow;
    arrow << tip << tip + QPointF(0, s * 0.6) << tip + QPointF(s * 0.17, s * 0.44)
          << tip + QPointF(s * 0.33, s * 0.6) << tip + QPointF(s * 0.45, s * 0.48)
          << tip + QPointF(s * 0.29, s * 0.32) << tip + QPointF(s * 0.52, s * 0.3);
    QPainterPath body;
    body.addPolygon(arrow);
    body.closeSubpath();
    p.fillPath(body, color);
    QPainterPath rays;
    for (double angle : {180.0, 225.0, 270.0}) {
        const double a = angle * M_PI / 180;
        const QPointF d(std::cos(a), std::sin(a));
        rays.moveTo(tip + d * (s * 0.2));
        rays.lineTo(tip + d * (s * 0.4));
    }
    p.strokePath(rays, QPen(color, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

}  // namespace

QSizeF boxSize(Glyph glyph, double size)
{
    switch (glyph) {
    case Glyph::swapArrows: return QSizeF(size * 1.2, size);
    case Glyph::eye:
    case Glyph::eyeFill: return QSizeF(size * 1.5, size);
    case Glyph::cursorRays: return QSizeF(size, size);
    }
    return QSizeF(size, size);
}

void draw(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& color, double weight)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    switch (glyph) {
    case Glyph::swapArrows: drawSwapArrows(painter, box, weight); break;
    case Glyph::eye: drawEye(painter, box, weight, false); break;
    case Glyph::eyeFill: drawEye(painter, box, weight, true); break;
    case Glyph::cursorRays: drawCursorRays(painter, box, weight); break;
    }
    painter.restore();
}

}  // namespace Glyphs

GlyphLabel::GlyphLabel(Glyph glyph, double size, double weight, const QColor& color, QWidget* parent)
    : QWidget(parent), glyph_(glyph), size_(size), weight_(weight), color_(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize GlyphLabel::sizeHint() const { return Glyphs::boxSize(glyph_, size_).toSize() + QSize(1, 1); }

void GlyphLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QSizeF box = Glyphs::boxSize(glyph_, size_);
    Glyphs::draw(painter, glyph_, QRectF(QPointF((width() - box.width()) / 2, (height() - box.height()) / 2), box),
                 color_, weight_);
}
