#pragma once

// What the pairing workspace shows, derived from the model and the pointer: which back pairs
// with which remembered front, the cords between them, and what a dragged or pending link
// points at. Pure functions of their arguments, so that each rule is tested on its own.
// Positions are in the workspace's coordinates, where both halves report their frames.

#include "core/AppModel.h"
#include "model/PendingLink.h"
#include "ui/PairFrame.h"

#include <QHash>
#include <QPointF>
#include <QPolygonF>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

// One cord from a previous photo to the back it pairs with.
struct Connector {
    QPointF from;
    QPointF to;
    int colorIndex = 0;
    bool emphatic = false;

    friend bool operator==(const Connector&, const Connector&) = default;
};

// A cord being dragged from a previous photo, or the cord of a pending link (no source base).
struct LinkDrag {
    QString sourceBase;
    int colorIndex = 0;
    QPointF from;
    QPointF to;

    friend bool operator==(const LinkDrag&, const LinkDrag&) = default;
};

using ColorByBase = QHash<QString, int>;  // front base -> pair colour index
using RegionColors = QHash<QUuid, int>;   // back region id -> pair colour index
using PairMap = QHash<QString, QUuid>;    // front base -> the back region drawn as its pair

// Everything the cords between the two halves are derived from.
struct LinkScene {
    ColorByBase colorByBase;
    PairMap pairMap;
    PrevFrames prevFrames;
    PairFrames currentFrames;
    bool showAllLinks = false;
    std::optional<LinkDrag> linkDrag;
    std::optional<QString> hoveredBase;
};

namespace PairingRules {

// The pointer travel, in points, that turns a press into a drag.
inline constexpr double dragThreshold = 3;
// The bed assumed for the previous scan when neither it nor the open scanner tells its size.
inline constexpr QSizeF fallbackBedSize{8.5, 11.7};

// Even-odd rule; fewer than three vertices contain nothing.
bool pointInPolygon(QPointF p, const QPolygonF& polygon);

// True once the pointer has moved far enough from `start` to be dragging.
bool isDrag(QPointF start, QPointF now);

// Back id -> base of the front it pairs with, for the fronts numbered as in `plan`.
AppModel::StemMap backStems(const AppModel& model, const AppModel::StemMap& plan);

// Each back (in list order) whose front has a colour gets that colour.
RegionColors pairColorIndex(const std::vector<ScanRegion>& regions, const AppModel::StemMap& backStems,
                            const ColorByBase& colorByBase);

// Front base -> its back. When several backs pair with one front, the last of them in the
// region list gets the cord, on every redraw alike.
PairMap pairMap(const std::vector<ScanRegion>& regions, const AppModel::StemMap& backStems);

// The cord from the previous photo of `base` to its back, when both are drawn.
std::optional<Connector> cord(const QString& base, bool emphatic, const LinkScene& scene);

// The cords to draw: the hovered photo's alone (none while a cord is dragged), or with
// `showAllLinks` every paired front's, in colour order, the hovered one emphatic.
std::vector<Connector> connectors(const LinkScene& scene);

// The first frame, in reported order, whose corners contain `p`.
std::optional<QUuid> frameAt(QPointF p, const PairFrames& frames);
std::optional<QString> prevFrameAt(QPointF p, const PrevFrames& frames);

// The back a dragged cord, or the pointer of a pending link, is over.
std::optional<QUuid> linkTargetID(const std::optional<LinkDrag>& linkDrag, bool pendingActive,
                                  const std::optional<QPointF>& linkCursor, const PairFrames& currentFrames);

// The previous photo the pointer of a pending link is over.
std::optional<QString> highlightBase(bool pendingActive, const std::optional<QPointF>& linkCursor,
                                     const PrevFrames& prevFrames);

// The cord from a pending link's source region to the pointer.
std::optional<LinkDrag> pendingCord(const std::optional<PendingLink>& pending, const PairFrames& currentFrames,
                                    const RegionColors& pairColorIndex, const std::optional<QPointF>& linkCursor);

// The previous scan's bed: as remembered, else the open scanner's, else `fallbackBedSize`.
// An empty size counts as unknown.
QSizeF previousBedSize(const std::optional<QSizeF>& prevBedSize, const std::optional<ScannerInfo>& info);

int backCount(const std::vector<ScanRegion>& regions);

// "1 front", "3 fronts".
QString frontsDetail(int records);
// "3/4 matched".
QString matchedDetail(int matched, int backs);
// Every back has a colour, and there is at least one back.
bool allMatched(int matched, int backs);

}  // namespace PairingRules
