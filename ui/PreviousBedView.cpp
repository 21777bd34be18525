#include "ui/PreviousBedView.h"

#include "ui/PairPalette.h"
#include "ui/PairingGeometry.h"
#include "ui/PairingPaint.h"
#include "ui/SoftShadow.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr double shadowRadius = 14;
constexpr double shadowDrop = 5;

QFont labelFont() { return PairingPaint::monoFont(10, QFont::DemiBold); }

bool samePlaces(const PrevFrames& a, const PrevFrames& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const PrevFrame& x, const PrevFrame& y) {
        return x.base == y.base && x.center == y.center && x.corners == y.corners;
    });
}

}  // namespace

PreviousBedView::PreviousBedView(QWidget* space, QWidget* parent) : QWidget(parent), space_(space)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Previous scan"));
}

void PreviousBedView::setScan(const std::vector<ScanRecord>& records, const QImage& image, QSizeF bedSize)
{
    if (records == records_ && image.cacheKey() == image_.cacheKey() && bedSize == bedSize_) return;
    records_ = records;
    image_ = image;
    bedSize_ = bedSize;
    const QFontMetricsF metrics(labelFont());
    labelSizes_.clear();
    for (const ScanRecord& r : records_)
        labelSizes_.push_back(metrics.boundingRect(QRectF(0, 0, 400, 40), Qt::AlignLeft | Qt::AlignTop, r.base).size());
    layOut();
}

void PreviousBedView::setColorByBase(const ColorByBase& colorByBase)
{
    if (colorByBase == colorByBase_) return;
    colorByBase_ = colorByBase;
    redraw();
}

void PreviousBedView::setPendingActive(bool pendingActive) { pendingActive_ = pendingActive; }

void PreviousBedView::setHighlightBase(const std::optional<QString>& base)
{
    if (base == highlightBase_) return;
    highlightBase_ = base;
    update();
}

void PreviousBedView::setPointer(const PairingPointer& pointer)
{
    // Only the photos the pointer emphasises change the drawing; the cord's end does not.
    const auto source = [](const PairingPointer& p) { return p.linkDrag ? std::optional(p.linkDrag->sourceBase) : std::nullopt; };
    const bool changed = pointer.hoveredBase != pointer_.hoveredBase || source(pointer) != source(pointer_);
    pointer_ = pointer;
    if (changed) update();
}

void PreviousBedView::changePointer(const PairingPointer& pointer)
{
    if (pointer == pointer_) return;
    setPointer(pointer);
    if (onPointerChanged) onPointerChanged(pointer_);
}

void PreviousBedView::redraw()
{
    layer_ = QPixmap();
    update();
}

// ---- layout and frames ----------------------------------------------------------------

void PreviousBedView::layOut()
{
    const QSizeF content = image_.isNull() ? bedSize_ : QSizeF(image_.size());
    const QRectF fit = PairingGeometry::fitRect(content, size());
    if (fit.size() != fit_.size()) shadow_ = {};
    fit_ = fit;
    polygons_.clear();
    centers_.clear();
    for (const ScanRecord& r : records_) {
        polygons_.push_back(PairingGeometry::recordPolygon(r, fit_, bedSize_));
        centers_.push_back(PairingGeometry::mapBedPoint(r.center, fit_, bedSize_));
    }
    redraw();
    reportFrames();
}

QPointF PreviousBedView::toSpace(QPointF local) const { return local + QPointF(mapTo(space_, QPoint(0, 0))); }

void PreviousBedView::reportFrames()
{
    PrevFrames frames;
    frames.reserve(records_.size());
    const QPointF origin = toSpace(QPointF());
    for (std::size_t i = 0; i < records_.size(); ++i)
        frames.push_back(PrevFrame{records_[i].base, polygons_[i].translated(origin), centers_[i] + origin});
    if (samePlaces(frames, reported_)) return;
    reported_ = frames;
    emit prevFramesChanged(reported_);
}

void PreviousBedView::resizeEvent(QResizeEvent*) { layOut(); }

void PreviousBedView::moveEvent(QMoveEvent*) { reportFrames(); }

std::optional<std::size_t> PreviousBedView::recordAt(QPointF local) const
{
    return PairingGeometry::polygonAt(local, polygons_);
}

// ---- pointer ----------------------------------------------------------------------------

void PreviousBedView::hoverMove(QPointF local)
{
    PairingPointer next = pointer_;
    if (pendingActive_) {
        next.hoveredBase.reset();
        next.linkCursor = toSpace(local);
    } else {
        const auto i = recordAt(local);
        next.hoveredBase = i ? std::optional<QString>(records_[*i].base) : std::nullopt;
    }
    changePointer(next);
}

void PreviousBedView::dragMove(QPointF local)
{
    PairingPointer next = pointer_;
    if (next.linkDrag) {
        next.linkDrag->to = toSpace(local);
    } else if (const auto i = recordAt(*pressAt_)) {
        const QString& base = records_[*i].base;
        next.linkDrag = LinkDrag{base, colorByBase_.value(base, 0), toSpace(centers_[*i]), toSpace(local)};
    }
    changePointer(next);
}

void PreviousBedView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressAt_ = event->position();
    dragging_ = false;
}

void PreviousBedView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    if (!pressAt_) return hoverMove(p);
    if (!dragging_ && PairingRules::isDrag(*pressAt_, p)) dragging_ = true;
    // No cord is pulled out while a link is pending.
    if (dragging_ && !pendingActive_) dragMove(p);
}

void PreviousBedView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressAt_) return QWidget::mouseReleaseEvent(event);
    const QPointF p = event->position();
    const bool wasDrag = dragging_;
    pressAt_.reset();
    dragging_ = false;
    if (pendingActive_) {
        if (wasDrag) return;
        const auto i = recordAt(p);
        if (onPickPrevious) onPickPrevious(i ? std::optional<QString>(records_[*i].base) : std::nullopt);
        return;
    }
    if (!wasDrag || !pointer_.linkDrag) return;
    PairingPointer next = pointer_;
    LinkDrag dropped = *next.linkDrag;
    dropped.to = toSpace(p);
    next.linkDrag.reset();
    changePointer(next);
    if (onDrop) onDrop(dropped);
}

void PreviousBedView::leaveEvent(QEvent*)
{
    PairingPointer next = pointer_;
    next.hoveredBase.reset();
    if (pendingActive_) next.linkCursor.reset();
    changePointer(next);
}

// ---- drawing ----------------------------------------------------------------------------

void PreviousBedView::drawPicture(QPainter& painter)
{
    if (shadow_.isNull()) shadow_ = SoftShadow::make(fit_.size(), shadowRadius);
    const double m = SoftShadow::margin(shadowRadius);
    painter.setOpacity(0.55);
    painter.drawImage(fit_.adjusted(-m, -m, m, m).translated(0, shadowDrop), shadow_);
    painter.setOpacity(1);
    painter.drawImage(fit_, image_);
    painter.setPen(QPen(Theme::withAlpha(Qt::white, 0.08), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(fit_.adjusted(0.5, 0.5, -0.5, -0.5));
}

bool PreviousBedView::emphasised(std::size_t i) const
{
    const QString& base = records_[i].base;
    return base == pointer_.hoveredBase || (pointer_.linkDrag && pointer_.linkDrag->sourceBase == base);
}

bool PreviousBedView::raised(std::size_t i) const { return emphasised(i) || records_[i].base == highlightBase_; }

void PreviousBedView::drawRecord(QPainter& painter, std::size_t i, bool over)
{
    const QString& base = records_[i].base;
    const QPolygonF& polygon = polygons_[i];
    const auto index = colorByBase_.constFind(base);
    const QColor c = PairPalette::color(index == colorByBase_.constEnd() ? std::nullopt : std::optional<int>(*index));

    // Drawn over its plain self, an emphasised photo adds the fill that brings it from 0.13
    // to 0.26 opacity, and its wider outline covers the plain one.
    if (!over) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withAlpha(c, 0.13));
        painter.drawPolygon(polygon);
        PairingPaint::strokeOutline(painter, polygon, c, 3.2, 1.7);
    } else if (emphasised(i)) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withAlpha(c, (0.26 - 0.13) / (1 - 0.13)));
        painter.drawPolygon(polygon);
        PairingPaint::strokeOutline(painter, polygon, c, 4.8, 2.6);
    }

    if (over && base == highlightBase_) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withAlpha(Qt::black, 0.3));
        painter.drawPolygon(polygon);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolygon(polygon);
        PairingPaint::strokeOutline(painter, polygon, c, 4.8, 2.4);
    }
    PairingPaint::drawBrackets(painter, polygon, c);

    const QSizeF text = labelSizes_[i];
    const QRectF plate(polygon.boundingRect().topLeft() + QPointF(3, 3), text + QSizeF(10, 5));
    painter.setPen(QPen(Theme::withAlpha(c, 0.85), 1));
    painter.setBrush(Theme::withAlpha(Qt::black, 0.62));
    painter.drawRoundedRect(plate, 3.5, 3.5);
    painter.setPen(Qt::white);
    painter.drawText(plate, Qt::AlignCenter, base);
}

void PreviousBedView::renderLayer(qreal dpr)
{
    layer_ = QPixmap((QSizeF(size()) * dpr).toSize());
    layer_.setDevicePixelRatio(dpr);
    layer_.fill(Theme::canvas());
    QPainter painter(&layer_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!image_.isNull() && !fit_.isEmpty()) drawPicture(painter);
    painter.setFont(labelFont());
    for (std::size_t i = 0; i < records_.size(); ++i) drawRecord(painter, i, false);
    if (records_.empty()) {
        QFont message = font();
        PairingPaint::setFontSize(message, 12);
        painter.setFont(message);
        painter.setPen(Theme::secondary());
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No previous scan to pair against"));
    }
}

void PreviousBedView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal dpr = painter.device()->devicePixelRatioF();
    if (layer_.isNull() || layer_.devicePixelRatio() != dpr) renderLayer(dpr);
    painter.drawPixmap(0, 0, layer_);
    // The photos the pointer is on, over their plain selves.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(labelFont());
    for (std::size_t i = 0; i < records_.size(); ++i)
        if (raised(i)) drawRecord(painter, i, true);
}
