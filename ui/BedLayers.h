#pragma once

// Frames of the bed drawn from two kept layers: below, the canvas, the overview and the
// regions before the selected one; above, the regions after it. A drag changes only the
// selected region, so a frame then costs two copies, one region and its handles; a layer is
// redrawn only when something in it changes (a zoom, another region, the overview, the size).

#include "ui/BedDrawing.h"

#include <QImage>

#include <vector>

namespace BedDrawing {

class BedLayers {
public:
    // Draws `frame` into `target` (made the frame's size): the base, the regions in list order,
    // then the overlays.
    void render(const Frame& frame, QImage& target);

    // Layers redrawn so far (for tests and benchmarks).
    int layersDrawn() const { return layersDrawn_; }

private:
    struct Key {
        QSize pixels;
        double scale = 0;
        qint64 picture = 0;
        QRectF fit;
        std::vector<RegionItem> items;
        bool operator==(const Key&) const = default;
    };
    QImage below_, above_;
    Key belowKey_, aboveKey_;
    bool haveBelow_ = false, haveAbove_ = false;
    int layersDrawn_ = 0;
};

}  // namespace BedDrawing
