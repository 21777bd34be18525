#pragma once

// Finding the photo prints on an overview of the bed.
//
// Every function here is a pure function of its arguments: nothing is remembered between
// calls, each call allocates its own working planes, and any number of calls may run at once
// on any threads. Detection never fails loudly: bad input gives an empty list.
//
// Results are in bed inches (origin at the bed's top-left, x right, y down), angles in
// radians, positive turning clockwise on screen. Each region is 0.04 inch larger on every
// side than the print's measured outline, has a fresh id and the name "Photo".

#include "model/ScanRegion.h"

#include <QImage>
#include <QSizeF>

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace AutoDetect {

// Which stages run. The core is the flood-and-fit pipeline alone; the full detector adds the
// stages that find every print whole (edges snapped to the print's outline, white borders
// recovered, touching prints split along their seams).
enum class Pipeline { core, full };

// The photos on `image`, which covers the whole bed of `bedSize` inches, in reading order.
std::vector<ScanRegion> detect(const QImage& image, QSizeF bedSize);

// The same with the core pipeline alone, for comparison.
std::vector<ScanRegion> detectCore(const QImage& image, QSizeF bedSize);

// The whole pipeline. Depth 0 is the top call; depth 1 runs inside one large region and does
// not look inside again.
std::vector<ScanRegion> detect(const QImage& image, QSizeF bedSize, int depth, Pipeline pipeline = Pipeline::full);

// Fallback through the generic rectangle detector, sorted by area, with overlaps dropped,
// in reading order.
std::vector<ScanRegion> detectVisionRectangles(const QImage& image, QSizeF bedSize);

// Detection again on the part of `image` under `region`'s bounds, results in bed inches.
// Regions covering nearly all of that part are dropped.
std::vector<ScanRegion> detectInsideRegion(const ScanRegion& region, const QImage& image, QSizeF bedSize,
                                           Pipeline pipeline = Pipeline::full);

// Largest first; regions of equal area keep their order.
void sortByAreaDescending(std::vector<ScanRegion>& regions);

// Walks the regions in order and drops each one whose bounds overlap an already kept one's
// by more than 45 % of the smaller of the two. Callers sort by area first.
std::vector<ScanRegion> suppressOverlapping(const std::vector<ScanRegion>& regions);

// True when `a` reads before `b`: rows (centres more than half an inch apart vertically)
// top to bottom, left to right within a row.
bool readsBefore(const ScanRegion& a, const ScanRegion& b);

// Sorts into reading order, stably. The half-inch row tolerance does not make a strict weak
// order, so this is an insertion sort: it gives the usual stable result wherever the
// comparison is consistent and stays within bounds where it is not.
void sortReadingOrder(std::vector<ScanRegion>& regions);

// A diagnostic observer of the masks detection builds, each byte 0 or 255: the flood's
// passable pixels ("passable") and the final foreground ("mask"); the full detector also
// shows the paper flood's foreground ("paper", at half size). While one is set, detection
// also writes its background estimate to standard error. Unset by default.
using DebugHook =
    std::function<void(std::span<const std::uint8_t> mask, int width, int height, std::string_view label)>;

// Sets (or, with an empty function, clears) the process-wide hook. Each detection call reads
// the hook once when it starts, so changing it never disturbs a call in progress.
void setDebugHook(DebugHook hook);
DebugHook debugHook();

}  // namespace AutoDetect
