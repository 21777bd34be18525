// The stages of photo detection on small hand-made inputs.

#include "analysis/AutoDetectSteps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace AutoDetect::detail;

namespace {

// What the window rule says, pixel by pixel.
Mask bruteForce(const Mask& in, int w, int h, int r, bool grow)
{
    Mask out(in.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bool any = false;
            for (int yy = std::max(0, y - r); yy <= std::min(h - 1, y + r); ++yy)
                for (int xx = std::max(0, x - r); xx <= std::min(w - 1, x + r); ++xx)
                    any = any || (in[size_t(yy) * w + xx] == (grow ? 1 : 0));
            out[size_t(y) * w + x] = grow ? any : !any;
        }
    }
    return out;
}

WorkingBitmap bitmapOf(const QImage& image)
{
    std::optional<WorkingBitmap> b = makeWorkingBitmap(image);
    EXPECT_TRUE(b.has_value());
    return b ? std::move(*b) : WorkingBitmap{};
}

// A filled, turned rectangle as a 0/1 mask: pixel centres inside it are set.
Mask rectangleMask(int w, int h, double cx, double cy, double rw, double rh, double angle)
{
    Mask m(size_t(w) * h, 0);
    const double c = std::cos(angle), s = std::sin(angle);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double dx = x - cx, dy = y - cy;
            const double u = dx * c + dy * s, v = dy * c - dx * s;
            m[size_t(y) * w + x] = std::abs(u) <= rw / 2 && std::abs(v) <= rh / 2;
        }
    }
    return m;
}

}  // namespace

TEST(AutoDetectMorphology, MatchesTheWindowRuleEverywhere)
{
    std::mt19937 rng(3);
    for (auto [w, h] : {std::pair{1, 1}, {1, 9}, {9, 1}, {7, 5}, {23, 17}}) {
        for (int r = 0; r <= 3; ++r) {
            for (double density : {0.1, 0.5, 0.9}) {
                std::bernoulli_distribution bit(density);
                Mask in(size_t(w) * h);
                for (auto& m : in) m = bit(rng);
                Mask grown = in, shrunk = in;
                dilate(grown, w, h, r);
                erode(shrunk, w, h, r);
                SCOPED_TRACE(testing::Message() << w << "x" << h << " r=" << r << " p=" << density);
                EXPECT_EQ(grown, r <= 0 ? in : bruteForce(in, w, h, r, true));
                EXPECT_EQ(shrunk, r <= 0 ? in : bruteForce(in, w, h, r, false));
            }
        }
    }
}

TEST(AutoDetectBlobs, DiagonalPixelsJoinSmallBlobsAreDroppedAndLargeOnesNeedNoRecursion)
{
    // 6×4:  A A . . . B
    //       . . A . . .
    //       . . . . . .
    //       C C C C . .
    const int w = 6, h = 4;
    Mask m(size_t(w) * h, 0);
    for (int i : {0, 1, 8, 5, 18, 19, 20, 21}) m[size_t(i)] = 1;
    const Components c = labelComponents(m, w, h, 2);
    ASSERT_EQ(c.boxes.size(), 2u) << "the lone pixel B is below the minimum";
    EXPECT_EQ(c.boxes[0], (PixelBox{0, 0, 2, 1, 3, 1}));
    EXPECT_EQ(c.boxes[1], (PixelBox{0, 3, 3, 3, 4, 3}));
    EXPECT_EQ(c.labels[5], 2) << "dropped blobs still have their own label";
    EXPECT_EQ(c.labels[8], 1);
    EXPECT_EQ(c.labels[21], 3);
    EXPECT_EQ(c.labels[2], 0);
    EXPECT_EQ(labelComponents(m, w, h, 3).boxes.size(), 2u) << "a blob of just the minimum stays";

    // A large blob needs no recursion.
    const Components large = labelComponents(Mask(size_t(1200) * 1000, 1), 1200, 1000, 60);
    ASSERT_EQ(large.boxes.size(), 1u);
    EXPECT_EQ(large.boxes[0].area, 1200 * 1000);
}

TEST(AutoDetectBackground, BandDecidesAndNoisyBandFallsBackToLightGrey)
{
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(QColor(40, 40, 200));
    const WorkingBitmap b = bitmapOf(image);
    std::vector<float> g(size_t(100) * 100, 0.0f);
    // Only the band is busy: nothing in scope is flat.
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (x < 10 || x >= 90 || y < 10 || y >= 90) g[size_t(y) * 100 + x] = 100.0f;
    const BackgroundEstimate banded = backgroundColor(b, g, 10, 10);
    EXPECT_EQ(banded.color, (RGB{235, 235, 235}));
    EXPECT_EQ(banded.colorTolerance, 46);
    const BackgroundEstimate whole = backgroundColor(b, g, std::nullopt, std::nullopt);
    EXPECT_EQ(whole.color, (RGB{40, 40, 200}));
}

TEST(AutoDetectBackground, FloodStopsAtAClosedOutline)
{
    QImage image(120, 120, QImage::Format_RGB32);
    image.fill(QColor(235, 235, 235));
    for (int i = 30; i <= 90; ++i) {
        for (int t = 0; t < 2; ++t) {
            image.setPixelColor(i, 30 + t, Qt::black);
            image.setPixelColor(i, 89 + t, Qt::black);
            image.setPixelColor(30 + t, i, Qt::black);
            image.setPixelColor(89 + t, i, Qt::black);
        }
    }
    const WorkingBitmap b = bitmapOf(image);
    const std::vector<float> g = gradientPlane(b);
    const Flood f = floodBackground(b, g, {{235, 235, 235}, 42}, 10, 10, {});
    EXPECT_EQ(f.background[size_t(60) * 120 + 60], 0) << "inside the outline";
    EXPECT_EQ(f.background[size_t(5) * 120 + 5], 1);
    EXPECT_EQ(f.background[size_t(0) * 120 + 0], 1) << "reached from the seed ring";
    EXPECT_GT(f.coverage, 0.5);
    EXPECT_LT(f.coverage, 0.8);
}

TEST(AutoDetectSplit, TouchingPrintsSplitAtTheSeamOnly)
{
    // 10 px per inch; two 4-inch-wide halves of very different brightness.
    QImage image(100, 80, QImage::Format_RGB32);
    image.fill(QColor(40, 40, 40));
    for (int y = 0; y < 80; ++y)
        for (int x = 50; x < 100; ++x) image.setPixelColor(x, y, QColor(200, 200, 200));
    const WorkingBitmap b = bitmapOf(image);
    const PixelBox box{5, 5, 94, 74, 90 * 70, 1};
    const auto parts = splitBox(box, b, 10, 10, 0);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0], (PixelBox{5, 5, 49, 74, 90 * 70 / 2, 1}));
    EXPECT_EQ(parts[1], (PixelBox{50, 5, 94, 74, 90 * 70 / 2, 1}));
    EXPECT_EQ(splitBox(box, b, 10, 10, 6), std::vector<PixelBox>{box}) << "deep enough";

    QImage flat(100, 80, QImage::Format_RGB32);
    flat.fill(QColor(120, 120, 120));
    EXPECT_EQ(splitBox(box, bitmapOf(flat), 10, 10, 0), std::vector<PixelBox>{box});
    // Under five inches wide the seam is not looked for.
    EXPECT_EQ(splitBox(box, b, 20, 20, 0), std::vector<PixelBox>{box});
}

TEST(AutoDetectFit, TurnedRectangleIsRecoveredFromItsPixels)
{
    const int w = 300, h = 240;
    for (double degrees : {0.0, 3.0, -7.0, 20.0, 50.0}) {
        SCOPED_TRACE(degrees);
        const double angle = degrees * std::numbers::pi / 180;
        const Mask m = rectangleMask(w, h, 150.3, 120.6, 160, 100, angle);
        const Components c = labelComponents(m, w, h, 60);
        ASSERT_EQ(c.boxes.size(), 1u);
        const auto rect = fitRectangle(c.boxes[0], m, c.labels, w, h);
        ASSERT_TRUE(rect.has_value());
        const bool swapped = degrees > 45;
        const double wantAngle = swapped ? angle - std::numbers::pi / 2 : angle;
        EXPECT_NEAR(rect->angle, wantAngle, 0.004);
        EXPECT_NEAR(swapped ? rect->height : rect->width, 160, 2.0);
        EXPECT_NEAR(swapped ? rect->width : rect->height, 100, 2.0);
        EXPECT_NEAR(rect->cx, 150.3, 1.0);
        EXPECT_NEAR(rect->cy, 120.6, 1.0);
    }
}

TEST(AutoDetectFit, SparseOrTinyBlobsYieldNothing)
{
    const int w = 100, h = 100;
    // A ring: its pixels fill little of its rectangle.
    Mask ring(size_t(w) * h, 0);
    for (int i = 10; i < 90; ++i) ring[size_t(10) * w + i] = ring[size_t(89) * w + i] = ring[size_t(i) * w + 10] = ring[size_t(i) * w + 89] = 1;
    const Components c = labelComponents(ring, w, h, 1);
    ASSERT_EQ(c.boxes.size(), 1u);
    EXPECT_FALSE(fitRectangle(c.boxes[0], ring, c.labels, w, h).has_value());

    Mask dot(size_t(w) * h, 0);
    for (int y = 50; y < 53; ++y)
        for (int x = 50; x < 53; ++x) dot[size_t(y) * w + x] = 1;
    const Components d = labelComponents(dot, w, h, 1);
    EXPECT_FALSE(fitRectangle(d.boxes[0], dot, d.labels, w, h).has_value()) << "fewer than 13 samples";
}

TEST(AutoDetectFit, TrimmedSlopeIgnoresOutliersAndNeedsSpan)
{
    std::vector<QPointF> pts;
    for (int x = 0; x < 60; ++x) pts.emplace_back(x, 0.05 * x + 3);
    for (int x : {5, 20, 40}) pts.emplace_back(x, 40.0);
    const auto m = trimmedSlope(pts, 30);
    ASSERT_TRUE(m.has_value());
    EXPECT_NEAR(*m, 0.05, 1e-9);
    EXPECT_FALSE(trimmedSlope(pts, 80).has_value()) << "the points span less than asked";
    EXPECT_FALSE(trimmedSlope({}, 0).has_value());
    EXPECT_FALSE(fitLine({{0, 0}, {1, 1}, {2, 2}}).has_value()) << "fewer than 8 points";
}
