#include "ui/LinkCordView.h"

#include "ui/PairPalette.h"
#include "ui/PairingGeometry.h"
#include "ui/PairingPaint.h"
#include "ui/Theme.h"

#include <QPainter>

LinkCordView::LinkCordView(QWidget* space, QWidget* parent) : QWidget(parent), space_(space)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LinkCordView::setLinkDrag(const std::optional<LinkDrag>& linkDrag)
{
    if (linkDrag == linkDrag_) return;
    const QRectF before = drawnArea();
    linkDrag_ = linkDrag;
    repaintArea(before);
}

void LinkCordView::setTarget(const std::optional<QPolygonF>& corners, const QColor& color)
{
    if (corners == target_ && color == targetColor_) return;
    const QRectF before = drawnArea();
    target_ = corners;
    targetColor_ = color;
    repaintArea(before);
}

QRectF LinkCordView::drawnArea() const
{
    QRectF area;
    if (linkDrag_) {
        const QPointF from = linkDrag_->from;
        const QPointF to = linkDrag_->to;
        area = PairingGeometry::cordPath(from, to, PairingGeometry::linkCordSag(QLineF(from, to).length())).controlPointRect();
    }
    if (target_) area |= target_->boundingRect();
    // The widest stroke, the end dots and their rings reach 9 points beyond the lines.
    return area.isNull() ? area : area.adjusted(-10, -10, 10, 10).translated(-QPointF(mapTo(space_, QPoint(0, 0))));
}

void LinkCordView::repaintArea(const QRectF& before)
{
    // Only where the cord was and is: everything under this layer is drawn again there.
    update(before.united(drawnArea()).toAlignedRect());
}

void LinkCordView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-QPointF(mapTo(space_, QPoint(0, 0))));
    if (target_) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withAlpha(targetColor_, 0.3));
        painter.drawPolygon(*target_);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolygon(*target_);
        PairingPaint::strokeOutline(painter, *target_, targetColor_, 4.8, 2.4);
    }
    if (!linkDrag_) return;
    const QColor color = PairPalette::color(linkDrag_->colorIndex);
    const QPointF from = linkDrag_->from;
    const QPointF to = linkDrag_->to;
    const QPainterPath path = PairingGeometry::cordPath(from, to, PairingGeometry::linkCordSag(QLineF(from, to).length()));
    PairingPaint::strokeCord(painter, path, Theme::withAlpha(color, 0.22), 9);
    PairingPaint::strokeCord(painter, path, QColor(0, 0, 0, 128), 4.4);
    PairingPaint::strokeCord(painter, path, color, 2.4);
    PairingPaint::drawEndDot(painter, from, 5, color, 1.5);
    PairingPaint::drawEndDot(painter, to, 6.5, color, 1.5);
}
