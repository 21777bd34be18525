#include "ui/BedDrawing.h"

#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace BedDrawing {

namespace {

const QColor casing = QColor(0, 0, 0, 128);

double length(QPointF v) { return std::hypot(v.x(), v.y()); }

QFont labelFont()
{
    QFont f;
    f.setPixelSize(10);
    f.setWeight(QFont::DemiBold);
    return f;
}

QFont badgeFont()
{
    QFont f;
    f.setPixelSize(9);
    f.setWeight(QFont::Black);
    return f;
}

// The fonts and their measures, made once.
struct Fonts {
    QFont label = labelFont();
    QFont badge = badgeFont();
    QFontMetricsF labelMetrics{label};
    QFontMetricsF badgeMetrics{badge};
    double badgeWidth = badgeMetrics.horizontalAdvance(QStringLiteral("BACK")) + 10;
};
const Fonts& fonts()
{
    static const Fonts f;
    return f;
}

// Flat or square caps keep the raster engine on its fast path for wide antialiased lines;
// round caps send every segment through the general stroker, several times slower.
QPen pen(const QColor& color, double width, bool dashed = false)
{
    QPen p(color, width, Qt::SolidLine, dashed ? Qt::FlatCap : Qt::SquareCap, Qt::MiterJoin);
    if (dashed) p.setDashPattern({6 / width, 3 / width});  // pattern lengths are in pen widths
    return p;
}

QPolygonF polygon(const Polygon& corners) { return QPolygonF({corners[0], corners[1], corners[2], corners[3]}); }

// A stroke of each segment in the casing, then in the colour. Separate segments rasterise
// several times faster than one closed path of them; square caps close the corners where
// they meet.
void outline(QPainter& p, const QLineF* lines, int count, double casingWidth, const QColor& color, double width,
             bool dashed = false)
{
    p.setPen(pen(casing, casingWidth, dashed));
    p.drawLines(lines, count);
    p.setPen(pen(color, width, dashed));
    p.drawLines(lines, count);
}

std::array<QLineF, 4> sides(const Polygon& c)
{
    return {QLineF(c[0], c[1]), QLineF(c[1], c[2]), QLineF(c[2], c[3]), QLineF(c[3], c[0])};
}

QPainterPath closedPath(const Polygon& corners)
{
    QPainterPath path;
    path.addPolygon(polygon(corners));
    path.closeSubpath();
    return path;
}

void drawHatch(QPainter& p, const Polygon& corners, const QColor& color)
{
    const auto lines = Bed::hatchLines(corners, 7);
    if (lines.empty()) return;
    QPen dark(QColor(0, 0, 0, 41), 2.4, Qt::SolidLine, Qt::FlatCap);
    p.setPen(dark);
    p.drawLines(lines.data(), int(lines.size()));
    p.setPen(QPen(Theme::withAlpha(color, 0.30), 1, Qt::SolidLine, Qt::FlatCap));
    p.drawLines(lines.data(), int(lines.size()));
}

void drawBrackets(QPainter& p, const Polygon& c, const QColor& color)
{
    const double shorter = std::min(length(c[1] - c[0]), length(c[2] - c[1]));
    const double arm = std::min(0.28 * shorter, 15.0);
    if (!(arm > 0)) return;
    std::array<QLineF, 8> arms;
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        const QPointF prev = c[(i + 3) % 4], next = c[(i + 1) % 4];
        const double lp = length(prev - c[i]), ln = length(next - c[i]);
        if (lp < 0.0001 || ln < 0.0001) continue;
        arms[n++] = QLineF(c[i], c[i] + (prev - c[i]) / lp * arm);
        arms[n++] = QLineF(c[i], c[i] + (next - c[i]) / ln * arm);
    }
    outline(p, arms.data(), n, 4.2, color, 2.4);
}

void drawFoldedCorner(QPainter& p, const Polygon& c, const QColor& color)
{
    const QPointF toLeft = c[0] - c[1], toBottom = c[2] - c[1];
    const double a = length(toLeft), b = length(toBottom);
    if (a < 0.0001 || b < 0.0001) return;
    const double leg = std::clamp(0.28 * std::min(a, b), 8.0, 16.0);
    const QPointF p1 = c[1] + toLeft / a * leg, p2 = c[1] + toBottom / b * leg;
    QPainterPath tri;
    tri.moveTo(c[1]);
    tri.lineTo(p1);
    tri.lineTo(p2);
    tri.closeSubpath();
    p.fillPath(tri, QColor(0, 0, 0, 128));
    p.fillPath(tri, Theme::withAlpha(color, 0.95));
    p.setPen(QPen(QColor(255, 255, 255, 179), 1, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(p1, p2);
}

void drawLabel(QPainter& p, QPointF corner, const QString& text, bool back, const QColor& color)
{
    const Fonts& f = fonts();
    const QRectF plate = labelPlate(corner, text, back);
    p.setPen(QPen(Theme::withAlpha(color, back ? 0.90 : 0.85), 1));
    p.setBrush(QColor(0, 0, 0, back ? 184 : 158));
    p.drawRoundedRect(plate, 4, 4);
    p.setBrush(Qt::NoBrush);
    double textX;
    if (back) {
        // The badge: left corners rounded, right corners square.
        const QRectF badge(plate.left(), plate.top(), f.badgeWidth, plate.height());
        QPainterPath path(QPointF(badge.right(), badge.top()));
        path.lineTo(badge.right(), badge.bottom());
        path.arcTo(QRectF(badge.left(), badge.bottom() - 8, 8, 8), 270, -90);
        path.arcTo(QRectF(badge.left(), badge.top(), 8, 8), 180, -90);
        path.closeSubpath();
        p.fillPath(path, color);
        p.setFont(f.badge);
        p.setPen(Qt::black);
        p.drawText(badge, Qt::AlignCenter, QStringLiteral("BACK"));
        textX = badge.right() + 5;
    } else {
        const QPointF dot(plate.left() + 8, plate.center().y());
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(dot, 3, 3);
        p.setBrush(Qt::NoBrush);
        textX = dot.x() + 8;
    }
    p.setFont(f.label);
    p.setPen(Qt::white);
    p.drawText(QPointF(textX, plate.top() + 2.5 + f.labelMetrics.ascent()), text);
}

void drawHandle(QPainter& p, QPointF at, double diameter, const QColor& color)
{
    const double r = diameter / 2;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(casing, 1.5));
    p.drawEllipse(at, r + 1.55, r + 1.55);
    p.setPen(QPen(color, 1.6));
    p.setBrush(Qt::white);
    p.drawEllipse(at, r, r);
    p.setBrush(Qt::NoBrush);
}

}  // namespace

QRectF labelPlate(QPointF corner, const QString& text, bool back)
{
    const Fonts& f = fonts();
    const double textW = f.labelMetrics.horizontalAdvance(text);
    const double h = f.labelMetrics.height() + 5;
    const double w = back ? f.badgeWidth + textW + 10 : textW + 21;
    return {corner.x() + 3, corner.y() + 3, w, h};
}

void drawRegion(QPainter& p, const Polygon& corners, const RegionLook& look)
{
    const auto edges = sides(corners);
    if (look.back) drawHatch(p, corners, look.color);
    if (look.selected) {
        if (!look.back) p.fillPath(closedPath(corners), Theme::withAlpha(look.color, 0.16));
        outline(p, edges.data(), 4, 4.2, look.color, 2.4, look.back);
    } else {
        outline(p, edges.data(), 4, 3.3, Theme::withAlpha(look.color, 0.95), 1.5, look.back);
        drawBrackets(p, corners, look.color);
    }
    if (look.back) drawFoldedCorner(p, corners, look.color);
    drawLabel(p, corners[0], look.label, look.back, look.color);
}

void drawTargetHighlight(QPainter& p, const Polygon& corners, const QColor& color, double fill, double width,
                         double casingWidth)
{
    const QPainterPath path = closedPath(corners);
    p.fillPath(path, Theme::withAlpha(color, fill));
    p.strokePath(path, pen(Qt::white, width));
    p.strokePath(path, pen(casing, casingWidth));
    p.strokePath(path, pen(color, width));
}

void drawHandles(QPainter& p, const Bed::HandlePoints& h, const QColor& color)
{
    const QLineF stem(h.edges[0], h.knob);
    outline(p, &stem, 1, 3.2, color, 1.6);
    drawHandle(p, h.knob, 12, color);
    for (const QPointF& c : h.corners) drawHandle(p, c, 9, color);
    for (const QPointF& e : h.edges) drawHandle(p, e, 9, color);
}

void drawCreateBand(QPainter& p, const QRectF& band, const QColor& color)
{
    const auto edges = sides({band.topLeft(), band.topRight(), band.bottomRight(), band.bottomLeft()});
    outline(p, edges.data(), 4, 3.2, color, 1.6, true);
}

void drawLinkCord(QPainter& p, QPointF from, QPointF to, const QColor& color)
{
    const double sag = std::min(60.0, 0.16 * length(to - from));
    QPainterPath cord(from);
    cord.quadTo(Bed::cordControl(from, to, sag), to);
    p.setBrush(Qt::NoBrush);
    p.strokePath(cord, QPen(Theme::withAlpha(color, 0.22), 9, Qt::SolidLine, Qt::RoundCap));
    p.strokePath(cord, QPen(casing, 4.4, Qt::SolidLine, Qt::RoundCap));
    p.strokePath(cord, QPen(color, 2.4, Qt::SolidLine, Qt::RoundCap));
    const auto dot = [&](QPointF at, double diameter) {
        p.setPen(QPen(casing, 1.5));
        p.setBrush(color);
        p.drawEllipse(at, diameter / 2, diameter / 2);
    };
    dot(from, 10);
    dot(to, 13);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Theme::withAlpha(color, 0.85), 2));
    p.drawEllipse(to, 11.5, 11.5);
}

void drawBase(QPainter& p, const Frame& frame)
{
    p.fillRect(QRectF(QPointF(0, 0), QSizeF(frame.size)), Theme::canvas());
    if (!frame.picture.isNull() && !frame.fit.isEmpty()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(frame.fit, frame.picture);
    }
}

void drawOverlays(QPainter& p, const Frame& frame)
{
    p.setRenderHint(QPainter::Antialiasing);
    if (frame.handles) drawHandles(p, frame.handles->first, frame.handles->second);
    if (frame.band) drawCreateBand(p, frame.band->first, frame.band->second);
    if (frame.linkTarget) drawTargetHighlight(p, frame.linkTarget->corners, frame.linkTarget->look.color, 0.28, 2.2, 4.6);
    if (frame.cord) drawLinkCord(p, frame.cord->from, frame.cord->to, frame.cord->color);
}

}  // namespace BedDrawing
