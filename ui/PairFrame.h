#pragma once

// Where the pairing workspace's two halves draw their regions, in the workspace's coordinates.

#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <QUuid>

#include <vector>

// A region of the current bed, as the embedded bed view draws it.
struct PairFrame {
    QUuid id;
    QPolygonF corners;  // four corners, in the region's corner order
    QPointF center;
};

// A remembered front, as the previous-scan view draws it.
struct PrevFrame {
    QString base;
    QPolygonF corners;
    QPointF center;
};

using PairFrames = std::vector<PairFrame>;
using PrevFrames = std::vector<PrevFrame>;
