#include "ui/BedView.h"

#include "ui/BedGlyphs.h"
#include "ui/Theme.h"
#include "ui/ZoomControls.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QWheelEvent>

#include <cmath>

namespace {

const QString deleteText = QStringLiteral("Delete");

// Draws the destructive item of the region menu in a warning colour.
class DestructiveItemStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element == CE_MenuItem && item && item->text == deleteText) {
            QStyleOptionMenuItem warn(*item);
            const QColor red(255, 105, 97);
            for (auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText, QPalette::HighlightedText})
                warn.palette.setColor(role, red);
            QProxyStyle::drawControl(element, &warn, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

Qt::CursorShape shapeOf(Bed::Pointer pointer)
{
    switch (pointer) {
    case Bed::Pointer::pointingHand: return Qt::PointingHandCursor;
    case Bed::Pointer::crosshair: return Qt::CrossCursor;
    case Bed::Pointer::resizeLeftRight: return Qt::SizeHorCursor;
    case Bed::Pointer::resizeUpDown: return Qt::SizeVerCursor;
    case Bed::Pointer::openHand: return Qt::OpenHandCursor;
    default: return Qt::ArrowCursor;
    }
}

}  // namespace

BedView::BedView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Scanner bed"));
    setContextMenuPolicy(Qt::DefaultContextMenu);
    controls_ = new ZoomControls(this);
    connect(controls_, &ZoomControls::zoomOutClicked, this, [this] { zoomAbout(1 / 1.4, QRectF(rect()).center()); });
    connect(controls_, &ZoomControls::zoomInClicked, this, [this] { zoomAbout(1.4, QRectF(rect()).center()); });
    connect(controls_, &ZoomControls::fitClicked, this, &BedView::resetZoom);
    connect(&model_, &AppModel::changed, this, &BedView::modelChanged);
}

void BedView::setPlan(const AppModel::StemMap& plan)
{
    plan_ = plan;
    update();
}

void BedView::setPairingMode(bool pairing)
{
    if (pairing_ == pairing) return;
    pairing_ = pairing;
    update();
    reportFrames();
}

void BedView::setFrameReceiver(QWidget* receiver)
{
    receiver_ = receiver;
    reportFrames();
}

void BedView::setPairColors(const QHash<QUuid, QColor>& colors, const QColor& unpaired)
{
    pairColors_ = colors;
    unpaired_ = unpaired;
    update();
}

// ---- mapping and zoom --------------------------------------------------------------------

QSizeF BedView::bedSize() const { return model_.info() ? model_.info()->bedSizeInches : QSizeF(); }

QRectF BedView::base() const { return Bed::baseFit(QSizeF(size()), model_.overview().size()); }

Bed::Mapping BedView::mapping() const { return {Bed::fitRect(base(), QSizeF(size()), zoom_), bedSize()}; }

void BedView::setZoom(Bed::Zoom zoom)
{
    zoom.pan = Bed::clampPan(zoom.pan, base(), zoom.zoom, QSizeF(size()));
    if (zoom == zoom_) return;
    zoom_ = zoom;
    controls_->setZoom(zoom_.zoom);
    update();
    reportFrames();
    refreshPointer(QApplication::keyboardModifiers());
}

void BedView::zoomAbout(double factor, QPointF at)
{
    setZoom(Bed::zoomBy(zoom_, factor, at, QSizeF(size()), base(), bedSize()));
}

void BedView::resetZoom() { setZoom({}); }

void BedView::placeControls()
{
    controls_->adjustSize();
    const QSize s = controls_->size();
    controls_->move(width() - s.width() - 10, height() - s.height() - 10);
}

void BedView::modelChanged(AppModel::Property property)
{
    using P = AppModel::Property;
    switch (property) {
    case P::overview:
    case P::info:
        setZoom(zoom_);  // the pan limits follow the picture
        update();
        reportFrames();
        break;
    case P::regions:
        update();
        reportFrames();
        break;
    case P::selectedID:
    case P::pendingLink:
    case P::drawSide:
        update();
        refreshPointer(QApplication::keyboardModifiers());
        break;
    default:
        break;
    }
}

// ---- frames for the pairing workspace ----------------------------------------------------

QPointF BedView::toReceiver(QPointF p) const
{
    QWidget* r = receiver_.data();
    if (!r || r == this) return p;
    if (r->isAncestorOf(this)) return mapTo(r, p);
    return r->mapFromGlobal(mapToGlobal(p));
}

PairFrames BedView::currentFrames() const
{
    const Bed::Mapping map = mapping();
    PairFrames frames;
    frames.reserve(model_.regions().size());
    for (const ScanRegion& r : model_.regions()) {
        PairFrame f{r.id, {}, toReceiver(map.toView(r.center))};
        for (const QPointF& c : map.cornersInView(r)) f.corners << toReceiver(c);
        frames.push_back(std::move(f));
    }
    return frames;
}

void BedView::reportFrames()
{
    if (pairing_ && receiver_) emit pairFramesChanged(currentFrames());
}

void BedView::resizeEvent(QResizeEvent*)
{
    placeControls();
    setZoom(zoom_);
    reportFrames();
}

void BedView::moveEvent(QMoveEvent*) { reportFrames(); }

void BedView::showEvent(QShowEvent*)
{
    placeControls();
    reportFrames();
}

// ---- pointer ----------------------------------------------------------------------------

void BedView::refreshPointer(Qt::KeyboardModifiers modifiers)
{
    if (!lastHover_ || drag_) return;
    Bed::PointerInputs in;
    in.regions = &model_.regions();
    in.selectedID = model_.selectedID();
    in.pendingLink = model_.pendingLink();
    in.drawBack = model_.drawSide() == DrawSide::back;
    in.alt = modifiers & Qt::AltModifier;
    in.overControls = controls_->geometry().contains(lastHover_->toPoint());
    const Bed::Pointer pointer = Bed::pointerAt(in, mapping(), *lastHover_);
    if (pointer_ == pointer) return;
    pointer_ = pointer;
    switch (pointer) {
    case Bed::Pointer::none: unsetCursor(); break;
    case Bed::Pointer::drawFront: setCursor(BedGlyphs::drawCursor(false)); break;
    case Bed::Pointer::drawBack: setCursor(BedGlyphs::drawCursor(true)); break;
    default: setCursor(shapeOf(pointer)); break;
    }
}

void BedView::hover(QPointF p, Qt::KeyboardModifiers modifiers)
{
    lastHover_ = p;
    refreshPointer(modifiers);
    if (pairing_) emit hoverChanged(toReceiver(p));
    else if (model_.pendingLink()) update();
}

void BedView::hideEvent(QHideEvent*) { leaveEvent(nullptr); }

void BedView::leaveEvent(QEvent*)
{
    lastHover_.reset();
    pointer_.reset();
    unsetCursor();
    if (pairing_) emit hoverChanged(std::nullopt);
    else if (model_.pendingLink()) update();
}

// ---- mouse ------------------------------------------------------------------------------

void BedView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressPt_ = event->position();
    moved_ = false;
    drag_.reset();
    createRect_.reset();
}

void BedView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    if (!pressPt_ || !(event->buttons() & Qt::LeftButton)) return hover(p, event->modifiers());
    lastHover_ = p;
    if (!moved_) {
        if ((p - *pressPt_).manhattanLength() < QApplication::startDragDistance()) return;
        moved_ = true;
        beginDrag(event->modifiers());
    }
    if (drag_) updateDrag(p, event->modifiers());
}

void BedView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressPt_) return QWidget::mouseReleaseEvent(event);
    const QPointF press = *pressPt_;
    pressPt_.reset();
    if (moved_) endDrag();
    else click(press);
    refreshPointer(event->modifiers());
}

void BedView::beginDrag(Qt::KeyboardModifiers modifiers)
{
    const auto start = Bed::startDrag(model_.regions(), model_.selectedID(), model_.pendingLink().has_value(), mapping(),
                                      *pressPt_, modifiers & Qt::AltModifier);
    if (!start) return;
    drag_ = start->drag;
    if (start->selects) model_.selectRegion(drag_->id);
}

void BedView::updateDrag(QPointF p, Qt::KeyboardModifiers modifiers)
{
    const Bed::Mapping map = mapping();
    if (drag_->handle.kind == Bed::Handle::create) {
        if (!map.valid()) return;
        createRect_ = Bed::createRect(*drag_, map, p);
        update();
        return;
    }
    if (auto r = Bed::draggedRegion(*drag_, map, p, modifiers & Qt::ShiftModifier)) writeRegion(*r);
}

void BedView::endDrag()
{
    if (drag_ && drag_->handle.kind == Bed::Handle::create && createRect_) {
        if (auto rect = Bed::createdRect(*createRect_, mapping())) {
            model_.addRegion(*rect);
            model_.selectRegion(model_.regions().back().id);
        }
    }
    drag_.reset();
    createRect_.reset();
    update();
}

void BedView::writeRegion(const ScanRegion& region)
{
    const auto& regions = model_.regions();
    const auto it = std::find_if(regions.begin(), regions.end(), [&](const ScanRegion& r) { return r.id == region.id; });
    if (it == regions.end() || *it == region) return;
    auto next = regions;
    next[size_t(it - regions.begin())] = region;
    model_.setRegions(next);
}

void BedView::click(QPointF p)
{
    const auto inch = mapping().toInch(p);
    if (!inch) return;
    const auto& regions = model_.regions();
    if (model_.pendingLink()) {
        const auto hits = Bed::regionsAt(regions, *inch);
        if (hits.empty()) model_.cancelLink();
        else model_.completePendingLink(regions[hits.front()].id);
        return;
    }
    model_.selectRegion(Bed::clickSelection(regions, model_.selectedID(), *inch));
}

// ---- context menu -----------------------------------------------------------------------

void BedView::contextMenuEvent(QContextMenuEvent* event)
{
    const QPointF at = event->reason() == QContextMenuEvent::Mouse || !lastHover_ ? QPointF(event->pos()) : *lastHover_;
    const Bed::Mapping map = mapping();
    const auto inch = map.toInch(at);
    if (!inch) return;
    const auto& regions = model_.regions();
    std::optional<ScanRegion> region;
    if (const auto hits = Bed::regionsAt(regions, *inch); !hits.empty()) region = regions[hits.front()];
    else if (const auto hit = Bed::resizeHandleAt(regions, map, at)) region = regions[hit->index];
    if (!region) return;

    using BedGlyphs::Glyph;
    const QUuid id = region->id;
    const bool others = regions.size() > 1;
    const QColor ink = palette().color(QPalette::Text);
    QMenu menu(this);
    menu.setStyle(new DestructiveItemStyle(style()->name()));
    menu.style()->setParent(&menu);
    QAction* flip = menu.addAction(BedGlyphs::icon(region->isBack() ? Glyph::photo : Glyph::uturnLeft, ink),
                                   region->isBack() ? QStringLiteral("Flip to front") : QStringLiteral("Flip to back"));
    QAction* toFront = menu.addAction(BedGlyphs::icon(Glyph::photo, ink), QStringLiteral("Link to front…"));
    QAction* toBack = menu.addAction(BedGlyphs::icon(Glyph::uturnLeft, ink), QStringLiteral("Link to back…"));
    toFront->setEnabled(others);
    toBack->setEnabled(others);
    menu.addSeparator();
    QAction* remove = menu.addAction(BedGlyphs::icon(Glyph::trash, QColor(255, 105, 97)), deleteText);
    connect(flip, &QAction::triggered, this, [this, id] {
        model_.selectRegion(id);
        model_.flipRegion(id);
    });
    connect(toFront, &QAction::triggered, this, [this, id] { model_.startLink(id, true); });
    connect(toBack, &QAction::triggered, this, [this, id] { model_.startLink(id, false); });
    connect(remove, &QAction::triggered, this, [this, id] { model_.removeRegion(id); });
    menu.exec(event->globalPos());
}

// ---- scroll, pinch and smart magnify ---------------------------------------------------------

void BedView::wheelEvent(QWheelEvent* event)
{
    // A notched wheel reports lines; a line counts eight points.
    const QPointF delta = !event->pixelDelta().isNull() ? QPointF(event->pixelDelta())
                                                         : QPointF(event->angleDelta()) / 120.0 * 8.0;
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta.y() != 0) zoomAbout(std::exp(delta.y() * 0.01), event->position());
        event->accept();
        return;
    }
    if (zoom_.zoom <= 1) {
        event->ignore();
        return;
    }
    setZoom({zoom_.zoom, zoom_.pan + QSizeF(delta.x(), delta.y())});
    event->accept();
}

bool BedView::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        const auto* g = static_cast<QNativeGestureEvent*>(event);
        const QPointF at = mapFromGlobal(g->globalPosition());
        if (g->gestureType() == Qt::ZoomNativeGesture) {
            zoomAbout(1 + g->value(), at);
            return true;
        }
        if (g->gestureType() == Qt::SmartZoomNativeGesture) {
            if (zoom_.zoom > 1) resetZoom();
            else zoomAbout(2.5, at);
            return true;
        }
    }
    return QWidget::event(event);
}

// ---- drawing ----------------------------------------------------------------------------

QColor BedView::colorOf(const ScanRegion& r) const
{
    if (pairing_) return pairColors_.value(r.id, unpaired_);
    return r.isBack() ? Theme::back() : Theme::accent();
}

const QImage& BedView::picture()
{
    const QImage& image = model_.overview();
    if (image.cacheKey() != pictureKey_) {
        pictureKey_ = image.cacheKey();
        picture_ = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
    }
    return picture_;
}

BedDrawing::Frame BedView::frame()
{
    BedDrawing::Frame f;
    f.size = size();
    f.scale = devicePixelRatioF();
    const Bed::Mapping map = mapping();
    f.picture = picture();
    f.fit = map.fit();
    if (!map.valid()) return f;

    const auto& regions = model_.regions();
    const auto selected = model_.selectedRegion();
    f.regions.reserve(regions.size());
    for (const ScanRegion& r : regions) {
        BedDrawing::RegionLook look;
        look.color = colorOf(r);
        look.back = r.isBack();
        look.selected = selected && selected->id == r.id;
        look.label = plan_.value(r.id, r.name);
        f.regions.push_back({map.cornersInView(r), std::move(look)});
    }
    if (selected) f.handles = {Bed::handlePts(*selected, map), colorOf(*selected)};
    if (createRect_) f.band = {*createRect_, model_.drawSide() == DrawSide::back ? Theme::back() : Theme::accent()};

    const auto& link = model_.pendingLink();
    const auto source = link ? model_.region(link->sourceID) : std::nullopt;
    if (!pairing_ && source && lastHover_) {
        if (const auto hits = Bed::regionsAt(regions, *map.toInch(*lastHover_)); !hits.empty()) {
            const ScanRegion& target = regions[hits.front()];
            if (target.id != source->id) {
                f.linkTarget = BedDrawing::RegionItem{map.cornersInView(target), {}};
                f.linkTarget->look.color = colorOf(target);
            }
        }
        f.cord = BedDrawing::Frame::Cord{map.toView(source->center), *lastHover_, colorOf(*source)};
    }
    return f;
}

void BedView::paintEvent(QPaintEvent*)
{
    layers_.render(frame(), frameImage_);
    QPainter p(this);
    p.drawImage(QPointF(0, 0), frameImage_);
}
