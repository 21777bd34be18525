#pragma once

// Finding the handwriting on the backs of prints lying on the bed.
//
// The text recognizer reads the overview; the lines it finds are grouped into blocks when they
// lie less than 0.45 inch apart, and each block becomes an upright region named "Note", padded
// by 0.1 inch and kept on the bed. When no writing survives, the photo detection of the same
// image is the answer instead, so the caller always gets the best regions there are.
//
// Pure functions of their arguments; any number of calls may run at once on any threads.
// Units are bed inches from the bed's top-left corner, y down.

#include "model/ScanRegion.h"
#include "platform/vision/TextRecognizer.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <vector>

namespace AutoDetect {

// One block of text lines.
struct TextCluster {
    QRectF rect;        // the union of the block's line boxes, inches
    float maxConf = 0;  // the highest recognition confidence among its lines, 0..1
    int count = 1;      // number of lines merged into it

    friend bool operator==(const TextCluster&, const TextCluster&) = default;
};

// The notes on `image`, which covers the whole bed of `bedSize` inches, in reading order; or,
// when it carries no writing, its photos. Empty when the bed size is not positive.
std::vector<ScanRegion> detectBackText(const QImage& image, QSizeF bedSize);

// The steps after the recognizer, each testable on given lines.

// Recognised lines (normalised, origin bottom-left) as one-line clusters in bed inches, in the
// order given; lines narrower than 0.12 inch or lower than 0.05 inch are left out.
std::vector<TextCluster> lineClusters(const std::vector<Vision::TextObservation>& lines, QSizeF bedSize);

// Merges clusters until none lies within 0.45 inch of another: the first pair (in list order)
// that is that close becomes one cluster in the place of the earlier one, and the search starts
// again from the beginning.
std::vector<TextCluster> mergeClusters(std::vector<TextCluster> clusters);

// True for a cluster worth boxing: more than one line, or one line read with confidence at
// least 0.45 or at least 2.2 times as long as it is high.
bool isNote(const TextCluster& cluster);

// The kept clusters as "Note" regions, padded by 0.1 inch within the bed, too small ones
// dropped, in reading order. Empty when none survives.
std::vector<ScanRegion> noteRegions(const std::vector<TextCluster>& clusters, QSizeF bedSize);

// The notes among recognised lines, from the size filter to reading order; empty when none
// survives (where detectBackText falls back to photo detection).
std::vector<ScanRegion> notesFromLines(const std::vector<Vision::TextObservation>& lines, QSizeF bedSize);

}  // namespace AutoDetect
