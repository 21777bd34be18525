#pragma once

// How the bed view draws a region, its handles, the rubber band and the link cord. Sizes are
// view points; every coloured stroke lies on a darker casing so it reads on any picture.

#include "ui/BedGeometry.h"

#include <QColor>
#include <QPainter>
#include <QString>

#include <QImage>

#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace BedDrawing {

using Polygon = std::array<QPointF, 4>;

struct RegionLook {
    QColor color;
    bool back = false;
    bool selected = false;
    QString label;
    bool operator==(const RegionLook&) const = default;
};

// Hatch (backs), fill and outline, corner brackets or the selected outline, the folded corner
// of a back and the label plate.
void drawRegion(QPainter& p, const Polygon& corners, const RegionLook& look);

// The selected region's rotate knob and its corner and edge handles.
void drawHandles(QPainter& p, const Bed::HandlePoints& h, const QColor& color);

// The rubber band of a region being drawn.
void drawCreateBand(QPainter& p, const QRectF& band, const QColor& color);

// A region picked as a link's other end: filled with `fill` opacity and ringed three times.
void drawTargetHighlight(QPainter& p, const Polygon& corners, const QColor& color, double fill, double width,
                         double casingWidth);

// The cord of a pending link from the source's centre to the pointer.
void drawLinkCord(QPainter& p, QPointF from, QPointF to, const QColor& color);

struct RegionItem {
    Polygon corners;
    RegionLook look;
    bool operator==(const RegionItem&) const = default;
};

// Everything one frame of the bed shows, as plain values: gathered from the model on the main
// thread, drawn on any thread.
struct Frame {
    QSize size;      // view points
    double scale = 1;  // device pixels per point
    QImage picture;  // the overview, drawn into `fit`
    QRectF fit;
    std::vector<RegionItem> regions;  // in list order, later ones on top
    std::optional<std::pair<Bed::HandlePoints, QColor>> handles;
    std::optional<std::pair<QRectF, QColor>> band;
    std::optional<RegionItem> linkTarget;  // the region under a pending link's pointer
    struct Cord {
        QPointF from, to;
        QColor color;
    };
    std::optional<Cord> cord;
};

// A frame is the canvas and the overview (drawBase), the regions in list order (drawRegion),
// then the handles, band, link target and cord (drawOverlays).
void drawBase(QPainter& p, const Frame& frame);
void drawOverlays(QPainter& p, const Frame& frame);

// The label plate's outer rectangle for a label at `corner` (for tests and hit checks).
QRectF labelPlate(QPointF corner, const QString& text, bool back);

}  // namespace BedDrawing
