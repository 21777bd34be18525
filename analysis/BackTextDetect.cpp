#include "analysis/BackTextDetect.h"

#include "analysis/AutoDetect.h"

#include <algorithm>

namespace AutoDetect {
namespace {

constexpr double minLineWidth = 0.12;   // inches
constexpr double minLineHeight = 0.05;  // inches
constexpr double mergeReach = 0.45;     // inches
constexpr float minSingleConfidence = 0.45f;
constexpr double minSingleElongation = 2.2;
constexpr double notePadding = 0.1;     // inches
constexpr double minNoteWidth = 0.2;    // inches
constexpr double minNoteHeight = 0.1;   // inches

// Closed intervals: blocks exactly the reach apart still join.
bool touches(const QRectF& a, const QRectF& b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

// Merges the first close pair it finds; false when no pair is close.
bool mergeFirstPair(std::vector<TextCluster>& clusters)
{
    for (size_t i = 0; i < clusters.size(); ++i) {
        const QRectF reach = clusters[i].rect.adjusted(-mergeReach, -mergeReach, mergeReach, mergeReach);
        for (size_t j = i + 1; j < clusters.size(); ++j) {
            if (!touches(reach, clusters[j].rect)) continue;
            TextCluster& into = clusters[i];
            into.rect = into.rect.united(clusters[j].rect);
            into.maxConf = std::max(into.maxConf, clusters[j].maxConf);
            into.count += clusters[j].count;
            clusters.erase(clusters.begin() + std::ptrdiff_t(j));
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<TextCluster> lineClusters(const std::vector<Vision::TextObservation>& lines, QSizeF bedSize)
{
    std::vector<TextCluster> clusters;
    const double bedW = bedSize.width();
    const double bedH = bedSize.height();
    for (const Vision::TextObservation& line : lines) {
        const QRectF& b = line.boundingBox;
        const QRectF rect(bedW * b.left(), bedH * (1.0 - b.bottom()), bedW * b.width(), bedH * b.height());
        if (!(rect.width() >= minLineWidth) || !(rect.height() >= minLineHeight)) continue;
        clusters.push_back({rect, float(line.confidence), 1});
    }
    return clusters;
}

std::vector<TextCluster> mergeClusters(std::vector<TextCluster> clusters)
{
    while (mergeFirstPair(clusters)) {
    }
    return clusters;
}

bool isNote(const TextCluster& cluster)
{
    if (cluster.count > 1) return true;
    if (cluster.maxConf >= minSingleConfidence) return true;
    const double longer = std::max(cluster.rect.width(), cluster.rect.height());
    const double shorter = std::max(std::min(cluster.rect.width(), cluster.rect.height()), 0.01);
    return longer / shorter >= minSingleElongation;
}

std::vector<ScanRegion> noteRegions(const std::vector<TextCluster>& clusters, QSizeF bedSize)
{
    std::vector<ScanRegion> notes;
    for (const TextCluster& cluster : clusters) {
        if (!isNote(cluster)) continue;
        const QRectF& r = cluster.rect;
        const double left = std::max(r.left() - notePadding, 0.0);
        const double top = std::max(r.top() - notePadding, 0.0);
        const double right = std::min(r.right() + notePadding, bedSize.width());
        const double bottom = std::min(r.bottom() + notePadding, bedSize.height());
        const double width = right - left;
        const double height = bottom - top;
        if (!(width >= minNoteWidth) || !(height >= minNoteHeight)) continue;
        ScanRegion note;
        note.name = QStringLiteral("Note");
        note.center = QPointF(left + width / 2, top + height / 2);
        note.size = QSizeF(width, height);
        note.angle = 0;
        notes.push_back(std::move(note));
    }
    sortReadingOrder(notes);
    return notes;
}

std::vector<ScanRegion> notesFromLines(const std::vector<Vision::TextObservation>& lines, QSizeF bedSize)
{
    return noteRegions(mergeClusters(lineClusters(lines, bedSize)), bedSize);
}

std::vector<ScanRegion> detectBackText(const QImage& image, QSizeF bedSize)
{
    if (!(bedSize.width() > 0) || !(bedSize.height() > 0)) return {};
    const std::vector<Vision::TextObservation> lines = Vision::recognizeText(image);
    std::vector<ScanRegion> notes = notesFromLines(lines, bedSize);
    if (notes.empty()) return detect(image, bedSize);
    return notes;
}

}  // namespace AutoDetect
