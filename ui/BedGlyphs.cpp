#include "ui/BedGlyphs.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace BedGlyphs {

namespace {

// Glyphs are laid out on a 16×16 grid and scaled into the box.
void paintUnit(QPainter& p, Glyph glyph, const QColor& color, double width)
{
    QPen pen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const auto magnifier = [&] {
        p.drawEllipse(QPointF(6.5, 6.5), 4.8, 4.8);
        p.drawLine(QPointF(10.1, 10.1), QPointF(14.5, 14.5));
    };
    switch (glyph) {
    case Glyph::uturnLeft: {
        QPainterPath path(QPointF(13.5, 14));
        path.lineTo(13.5, 8);
        path.arcTo(QRectF(5.5, 2.5, 8, 8), 0, 180);
        path.lineTo(5.5, 11);
        p.drawPath(path);
        p.drawPolyline(QPolygonF({QPointF(2.5, 8), QPointF(5.5, 11.5), QPointF(8.5, 8)}));
        break;
    }
    case Glyph::photo:
        p.drawRoundedRect(QRectF(1.5, 3, 13, 10), 1.5, 1.5);
        p.drawPolyline(QPolygonF({QPointF(2, 12), QPointF(6, 7.5), QPointF(9, 10.5), QPointF(11, 8.5), QPointF(14, 11.5)}));
        p.setBrush(color);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(11, 6), 1.3, 1.3);
        break;
    case Glyph::trash:
        p.drawLine(QPointF(2, 4), QPointF(14, 4));
        p.drawPolyline(QPolygonF({QPointF(6, 4), QPointF(6.5, 2), QPointF(9.5, 2), QPointF(10, 4)}));
        p.drawPolyline(QPolygonF({QPointF(3.5, 4), QPointF(4.5, 14.5), QPointF(11.5, 14.5), QPointF(12.5, 4)}));
        p.drawLine(QPointF(6.5, 7), QPointF(6.8, 12));
        p.drawLine(QPointF(9.5, 7), QPointF(9.2, 12));
        break;
    case Glyph::zoomOut:
        magnifier();
        p.drawLine(QPointF(4.3, 6.5), QPointF(8.7, 6.5));
        break;
    case Glyph::zoomIn:
        magnifier();
        p.drawLine(QPointF(4.3, 6.5), QPointF(8.7, 6.5));
        p.drawLine(QPointF(6.5, 4.3), QPointF(6.5, 8.7));
        break;
    case Glyph::fitToView:
        // One arrow from the top-right towards the middle, one from the bottom-left.
        p.drawLine(QPointF(14, 2), QPointF(9.5, 6.5));
        p.drawPolyline(QPolygonF({QPointF(9.5, 2.8), QPointF(9.5, 6.5), QPointF(13.2, 6.5)}));
        p.drawLine(QPointF(2, 14), QPointF(6.5, 9.5));
        p.drawPolyline(QPolygonF({QPointF(2.8, 9.5), QPointF(6.5, 9.5), QPointF(6.5, 13.2)}));
        break;
    case Glyph::dashedFrame: {
        QPen dashed = pen;
        dashed.setCapStyle(Qt::FlatCap);
        dashed.setDashPattern({2.2 / width, 1.4 / width});
        p.setPen(dashed);
        p.drawRoundedRect(QRectF(1.5, 3, 13, 10), 1.2, 1.2);
        break;
    }
    }
}

QPixmap drawCursorPixmap(bool back, double dpr)
{
    QPixmap pm(QSize(22, 22) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(11, 11);
    const QColor side = back ? QColor::fromRgbF(0.36f, 0.78f, 0.92f) : QColor::fromRgbF(0.96f, 0.62f, 0.26f);
    const auto arms = [&](const QPen& pen) {
        p.setPen(pen);
        p.drawLine(QPointF(14, 11), QPointF(21, 11));
        p.drawLine(QPointF(8, 11), QPointF(1, 11));
        p.drawLine(QPointF(11, 14), QPointF(11, 21));
        p.drawLine(QPointF(11, 8), QPointF(11, 1));
    };
    arms(QPen(QColor(0, 0, 0, 140), 3, Qt::SolidLine, Qt::RoundCap));
    arms(QPen(side, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.setPen(Qt::NoPen);
    p.setBrush(side);
    p.drawEllipse(c, 1.1, 1.1);
    return pm;
}

}  // namespace

void paint(QPainter& p, Glyph glyph, const QRectF& box, const QColor& color, double width)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double s = std::min(box.width(), box.height()) / 16;
    p.translate(box.center() - QPointF(8 * s, 8 * s));
    p.scale(s, s);
    paintUnit(p, glyph, color, width / s);
    p.restore();
}

QIcon icon(Glyph glyph, const QColor& color)
{
    QIcon out;
    for (int size : {16, 32})
        for (double dpr : {1.0, 2.0}) {
            QPixmap pm(QSize(size, size) * dpr);
            pm.setDevicePixelRatio(dpr);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            paint(p, glyph, QRectF(0, 0, size, size), color, 1.4 * size / 16);
            p.end();
            out.addPixmap(pm);
        }
    return out;
}

const QCursor& drawCursor(bool back)
{
    // Drawn at the screen's scale so that the cross stays sharp on a HiDPI screen.
    static const double dpr = std::max(1.0, qApp ? qApp->devicePixelRatio() : 1.0);
    // Kept to the end of the process: a cursor must not outlive the application's teardown.
    static const QCursor* front = new QCursor(drawCursorPixmap(false, dpr), 11, 11);
    static const QCursor* backs = new QCursor(drawCursorPixmap(true, dpr), 11, 11);
    return back ? *backs : *front;
}

}  // namespace BedGlyphs
