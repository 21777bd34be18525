#pragma once

// Generic detection of rectangular outlines in a picture (OpenCV underneath).
//
// Reentrant: every call works on its own copies; any number may run at once on any threads.

#include <QImage>
#include <QPointF>

#include <vector>

namespace Vision {

struct RectangleRequest {
    int maximumObservations = 24;
    double minimumConfidence = 0.25;   // 0..1, see RectangleObservation::confidence
    double minimumAspectRatio = 0.2;   // shorter side / longer side
    double minimumSize = 0.06;         // shorter side as a share of the image's shorter side
    double quadratureTolerance = 35;   // degrees every corner may differ from a right angle
};

// A quadrilateral in normalised image coordinates: 0..1 across the width and height, origin
// at the bottom-left, y up. The corners run clockwise as seen on screen; topLeft is the
// corner from which the most nearly horizontal side runs to the right, to topRight.
struct RectangleObservation {
    QPointF topLeft;
    QPointF topRight;
    QPointF bottomRight;
    QPointF bottomLeft;
    // The share of the outline, sampled every pixel, that lies within 2 pixels of a detected
    // edge (Canny) of the picture: 1 when the whole outline is a visible edge.
    double confidence = 0;
};

// The quadrilaterals found, most confident first; empty for a null image or when none
// qualifies.
std::vector<RectangleObservation> detectRectangles(const QImage& image, const RectangleRequest& request = {});

}  // namespace Vision
