#include "ui/PairingPaint.h"

#include "ui/PairingGeometry.h"

#include <QFontDatabase>
#include <QPainter>

#include <cmath>

namespace PairingPaint {

QEasingCurve easeInOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

QColor casing() { return QColor(0, 0, 0, 128); }

void setFontSize(QFont& font, double size)
{
    // Whole sizes as pixels; a fraction as points at the reference 96 dpi, which is the
    // same size where the screen reports 96 dpi.
    if (size == std::floor(size)) font.setPixelSize(static_cast<int>(size));
    else font.setPointSizeF(size * 72.0 / 96.0);
}

QFont monoFont(double size, QFont::Weight weight, double spacing)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFontSize(font, size);
    font.setWeight(weight);
    if (spacing != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return font;
}

void strokeCord(QPainter& painter, const QPainterPath& path, const QColor& color, double width)
{
    painter.strokePath(path, QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin));
}

void drawEndDot(QPainter& painter, QPointF center, double radius, const QColor& color, double ring)
{
    painter.setPen(QPen(QColor(0, 0, 0, 128), ring));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(center, radius + ring, radius + ring);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(center, radius, radius);
}

void strokeOutline(QPainter& painter, const QPolygonF& polygon, const QColor& color, double casingWidth, double width)
{
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(casing(), casingWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolygon(polygon);
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolygon(polygon);
}

void drawBrackets(QPainter& painter, const QPolygonF& polygon, const QColor& color)
{
    const auto arms = PairingGeometry::bracketArms(polygon);
    if (arms.empty()) return;
    painter.setPen(QPen(casing(), 4.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLines(arms.data(), static_cast<int>(arms.size()));
    painter.setPen(QPen(color, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLines(arms.data(), static_cast<int>(arms.size()));
}

}  // namespace PairingPaint
