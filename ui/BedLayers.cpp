#include "ui/BedLayers.h"

#include <QPainter>
#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>

namespace BedDrawing {

namespace {

// Qt's raster engine hands each large antialiased fill to the global thread pool in slices
// and waits for them, unless it is already running there; so drawing is done by one worker
// of that pool when one is free, which on a busy machine is many times faster than thousands
// of hand-offs per frame.
template <typename Draw>
void onPoolWorker(const Draw& draw)
{
    QSemaphore done;
    if (QThreadPool::globalInstance()->tryStart([&] {
            draw();
            done.release();
        }))
        done.acquire();
    else
        draw();
}

void drawItems(QPainter& p, std::vector<RegionItem>::const_iterator from, std::vector<RegionItem>::const_iterator to)
{
    p.setRenderHint(QPainter::Antialiasing);
    for (auto it = from; it != to; ++it) drawRegion(p, it->corners, it->look);
}

}  // namespace

void BedLayers::render(const Frame& frame, QImage& target)
{
    const QSize pixels = (QSizeF(frame.size) * frame.scale).toSize();
    if (target.size() != pixels) target = QImage(pixels, QImage::Format_RGB32);
    target.setDevicePixelRatio(frame.scale);
    if (target.isNull()) return;

    const auto& regions = frame.regions;
    const auto selected =
        std::find_if(regions.begin(), regions.end(), [](const RegionItem& r) { return r.look.selected; });
    const auto aboveFrom = selected == regions.end() ? regions.end() : selected + 1;

    Key below{pixels, frame.scale, frame.picture.cacheKey(), frame.fit, {regions.begin(), selected}};
    Key above{pixels, frame.scale, 0, {}, {aboveFrom, regions.end()}};
    const bool redrawBelow = !haveBelow_ || !(below == belowKey_);
    const bool redrawAbove = !above.items.empty() && (!haveAbove_ || !(above == aboveKey_));

    onPoolWorker([&] {
        if (redrawBelow) {
            below_ = QImage(pixels, QImage::Format_RGB32);
            below_.setDevicePixelRatio(frame.scale);
            QPainter p(&below_);
            drawBase(p, frame);
            drawItems(p, regions.begin(), selected);
        }
        if (redrawAbove) {
            above_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            above_.setDevicePixelRatio(frame.scale);
            above_.fill(Qt::transparent);
            QPainter p(&above_);
            drawItems(p, aboveFrom, regions.end());
        }
        QPainter p(&target);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QPointF(0, 0), below_);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        drawItems(p, selected, aboveFrom);
        if (!above.items.empty()) p.drawImage(QPointF(0, 0), above_);
        drawOverlays(p, frame);
    });
    if (redrawBelow) {
        belowKey_ = std::move(below);
        haveBelow_ = true;
        ++layersDrawn_;
    }
    if (redrawAbove) {
        aboveKey_ = std::move(above);
        haveAbove_ = true;
        ++layersDrawn_;
    }
}

}  // namespace BedDrawing
