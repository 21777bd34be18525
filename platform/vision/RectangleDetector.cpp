#include "platform/vision/RectangleDetector.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

namespace Vision {

namespace {

// Edges are found on a copy at most this long; the corners are normalised anyway.
constexpr int maxSide = 1000;
constexpr double cannyLow = 25;
constexpr double cannyHigh = 60;
constexpr int edgeReach = 2;  // pixels an outline may lie off an edge and still count

using Quad = std::array<cv::Point2d, 4>;

struct Candidate {
    Quad corners;  // clockwise on screen, top-left first, in working pixels
    double confidence = 0;
    double area = 0;
};

double degreesBetween(cv::Point2d a, cv::Point2d b)
{
    const double c = a.dot(b) / (std::hypot(a.x, a.y) * std::hypot(b.x, b.y));
    return std::acos(std::clamp(c, -1.0, 1.0)) * 180.0 / std::numbers::pi;
}

// Orders four points clockwise on screen (y down) and starts at the corner from which the
// most nearly horizontal side runs to the right.
Quad ordered(std::vector<cv::Point2d> points)
{
    cv::Point2d centre(0, 0);
    for (const auto& p : points) centre += p * 0.25;
    std::sort(points.begin(), points.end(), [&](const cv::Point2d& a, const cv::Point2d& b) {
        return std::atan2(a.y - centre.y, a.x - centre.x) < std::atan2(b.y - centre.y, b.x - centre.x);
    });
    size_t start = 0;
    double best = 1e9;
    for (size_t k = 0; k < 4; ++k) {
        const cv::Point2d d = points[(k + 1) % 4] - points[k];
        const double turn = std::abs(std::atan2(d.y, d.x));
        if (turn < best) {
            best = turn;
            start = k;
        }
    }
    Quad out;
    for (size_t k = 0; k < 4; ++k) out[k] = points[(start + k) % 4];
    return out;
}

// Shape tests: corner angles, size and aspect ratio.
bool acceptable(const Quad& q, const RectangleRequest& request, double minSide)
{
    std::array<double, 4> side{};
    for (size_t k = 0; k < 4; ++k) {
        const cv::Point2d prev = q[(k + 3) % 4] - q[k];
        const cv::Point2d next = q[(k + 1) % 4] - q[k];
        if (std::abs(degreesBetween(prev, next) - 90.0) > request.quadratureTolerance) return false;
        side[k] = std::hypot(next.x, next.y);
    }
    const double across = (side[0] + side[2]) / 2;
    const double down = (side[1] + side[3]) / 2;
    const double shorter = std::min(across, down);
    const double longer = std::max(across, down);
    if (!(longer > 0) || shorter < minSide) return false;
    return shorter / longer >= request.minimumAspectRatio;
}

// The share of the outline, sampled every pixel, that lies on the widened edge map.
double outlineOnEdges(const Quad& q, const cv::Mat& nearEdge)
{
    int on = 0;
    int total = 0;
    for (size_t k = 0; k < 4; ++k) {
        const cv::Point2d a = q[k];
        const cv::Point2d b = q[(k + 1) % 4];
        const int steps = std::max(1, int(std::ceil(std::hypot(b.x - a.x, b.y - a.y))));
        for (int i = 0; i < steps; ++i) {
            const cv::Point2d p = a + (b - a) * (double(i) / steps);
            const int x = std::clamp(int(std::lround(p.x)), 0, nearEdge.cols - 1);
            const int y = std::clamp(int(std::lround(p.y)), 0, nearEdge.rows - 1);
            on += nearEdge.at<std::uint8_t>(y, x) != 0;
            ++total;
        }
    }
    return total ? double(on) / total : 0.0;
}

// A quadrilateral for a closed outline: its hull simplified to four corners, or, for outlines
// that are rectangles with rounded or chipped corners, the hull's minimum-area rectangle.
std::optional<Quad> quadrilateral(const std::vector<cv::Point>& contour)
{
    std::vector<cv::Point> hull;
    cv::convexHull(contour, hull);
    if (hull.size() < 4) return std::nullopt;
    std::vector<cv::Point> approx;
    cv::approxPolyDP(hull, approx, 0.02 * cv::arcLength(hull, true), true);
    std::vector<cv::Point2d> corners;
    if (approx.size() == 4 && cv::isContourConvex(approx)) {
        for (const auto& p : approx) corners.emplace_back(p.x, p.y);
    } else {
        const cv::RotatedRect box = cv::minAreaRect(hull);
        const double boxArea = double(box.size.width) * box.size.height;
        if (!(boxArea > 0) || cv::contourArea(hull) / boxArea < 0.9) return std::nullopt;
        cv::Point2f pts[4];
        box.points(pts);
        for (const auto& p : pts) corners.emplace_back(p.x, p.y);
    }
    return ordered(std::move(corners));
}

double boundsOverlap(const Quad& a, const Quad& b)
{
    auto bounds = [](const Quad& q) {
        double x0 = q[0].x, x1 = x0, y0 = q[0].y, y1 = y0;
        for (const auto& p : q) {
            x0 = std::min(x0, p.x);
            x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y);
            y1 = std::max(y1, p.y);
        }
        return cv::Rect2d(x0, y0, x1 - x0, y1 - y0);
    };
    const cv::Rect2d ra = bounds(a), rb = bounds(b);
    const double inter = (ra & rb).area();
    const double uni = ra.area() + rb.area() - inter;
    return uni > 0 ? inter / uni : 0.0;
}

}  // namespace

std::vector<RectangleObservation> detectRectangles(const QImage& image, const RectangleRequest& request)
{
    if (image.isNull() || request.maximumObservations <= 0) return {};
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    if (gray.isNull()) return {};
    const cv::Mat full(gray.height(), gray.width(), CV_8UC1, const_cast<uchar*>(gray.constBits()),
                       size_t(gray.bytesPerLine()));
    cv::Mat work;
    const int longest = std::max(full.cols, full.rows);
    if (longest > maxSide) {
        const double f = double(maxSide) / longest;
        const cv::Size size(std::max(1, int(std::lround(full.cols * f))), std::max(1, int(std::lround(full.rows * f))));
        cv::resize(full, work, size, 0, 0, cv::INTER_AREA);
    } else {
        work = full.clone();
    }
    if (work.cols < 8 || work.rows < 8) return {};

    cv::GaussianBlur(work, work, cv::Size(5, 5), 0);
    cv::Mat edges;
    cv::Canny(work, edges, cannyLow, cannyHigh, 3, true);
    // Close one-pixel gaps before following outlines; the wider map scores them.
    cv::Mat closed, nearEdge;
    cv::dilate(edges, closed, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    cv::dilate(edges, nearEdge,
               cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * edgeReach + 1, 2 * edgeReach + 1)));
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(closed, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);

    const double minSide = request.minimumSize * std::min(work.cols, work.rows);
    std::vector<Candidate> candidates;
    for (const auto& contour : contours) {
        const cv::Rect bounds = cv::boundingRect(contour);
        if (std::max(bounds.width, bounds.height) < minSide) continue;
        const std::optional<Quad> quad = quadrilateral(contour);
        if (!quad || !acceptable(*quad, request, minSide)) continue;
        const double confidence = outlineOnEdges(*quad, nearEdge);
        if (confidence < request.minimumConfidence) continue;
        std::vector<cv::Point2f> poly(quad->begin(), quad->end());
        candidates.push_back({*quad, confidence, cv::contourArea(poly)});
    }

    // Both sides of an edge line give an outline: keep the best of near-identical ones.
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.confidence > b.confidence || (a.confidence == b.confidence && a.area > b.area);
    });
    std::vector<Candidate> kept;
    for (const Candidate& c : candidates) {
        if (int(kept.size()) >= request.maximumObservations) break;
        const bool duplicate = std::any_of(kept.begin(), kept.end(), [&](const Candidate& k) {
            return boundsOverlap(k.corners, c.corners) > 0.9;
        });
        if (!duplicate) kept.push_back(c);
    }

    // Pixel index i covers [i, i+1) of the picture: its centre is at i + 0.5.
    auto normalised = [&](const cv::Point2d& p) {
        return QPointF((p.x + 0.5) / work.cols, 1.0 - (p.y + 0.5) / work.rows);
    };
    std::vector<RectangleObservation> out;
    out.reserve(kept.size());
    for (const Candidate& c : kept)
        out.push_back({normalised(c.corners[0]), normalised(c.corners[1]), normalised(c.corners[2]),
                       normalised(c.corners[3]), c.confidence});
    return out;
}

}  // namespace Vision
