// The stages the full detector adds, on hand-made planes: side snapping and border recovery,
// seams, the paper flood and its merge.

#include "analysis/AutoDetectSteps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace AutoDetect::detail;

namespace {

// A luminance-only working bitmap painted by `shade(x, y)`.
WorkingBitmap plane(int w, int h, const std::function<float(int, int)>& shade)
{
    WorkingBitmap b;
    b.width = w;
    b.height = h;
    b.luminance.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.luminance[size_t(y) * w + x] = shade(x, y);
    return b;
}

// A picture on pixels 100..299 square, on a lid of 220; with a border, 15 pixels of paper at
// 234 around it and a one-pixel shadow line of 205 just beyond the cut.
WorkingBitmap printOnLid(bool border)
{
    return plane(400, 400, [border](int x, int y) -> float {
        const int d = std::max(std::max(100 - x, x - 299), std::max(100 - y, y - 299));  // > 0 outside the picture
        if (d <= 0) return 90.0f + float((x * 7 + y * 3) % 23);
        if (!border) return 220.0f;
        if (d <= 15) return 234.0f;
        if (d == 16) return 205.0f;
        return 220.0f;
    });
}

// The rectangle the flood would give the picture: a pixel or two too big on each side.
OrientedRect floodFit() { return {199.5, 199.5, 203, 203, 0}; }

}  // namespace

TEST(DetectStagesSides, SnapsOntoThePicturesEdgeAndFindsAWhiteBordersCut)
{
    for (const bool border : {false, true}) {
        SCOPED_TRACE(border ? "with a border" : "without");
        const SnappedRect s = snapSides(floodFit(), printOnLid(border), 75, 220);
        // The picture covers pixel centres 100..299, so its edges lie at 99.5 and 299.5.
        EXPECT_NEAR(s.rect.cx, 199.5, 0.3);
        EXPECT_NEAR(s.rect.cy, 199.5, 0.3);
        EXPECT_NEAR(s.rect.width, 200, 0.6);
        EXPECT_NEAR(s.rect.height, 200, 0.6);
        for (double b : s.border) EXPECT_NEAR(b, border ? 15.5 : 0.0, border ? 1.2 : 0.0);
        if (!border) {
            EXPECT_EQ(s.cleanSides, 4);
        }
        const std::vector<OrientedRect> grown = withBorders({s});
        ASSERT_EQ(grown.size(), 1u);
        EXPECT_NEAR(grown[0].width, border ? 231 : 200, border ? 2.4 : 0.6);
        EXPECT_NEAR(grown[0].cx, 199.5, 0.6);
    }
}

TEST(DetectStagesSides, ABorderNeverReachesOverAnotherPrint)
{
    SnappedRect left{{100, 100, 100, 100, 0}, {20, 20, 20, 20}, 4};
    const SnappedRect right{{185, 100, 50, 100, 0}, {0, 0, 0, 0}, 4};  // starts 10 pixels right of `left`
    const std::vector<OrientedRect> out = withBorders({left, right});
    ASSERT_EQ(out.size(), 2u);
    // Left, top and bottom grow by 20; the right side would cover the neighbour and stays.
    EXPECT_NEAR(out[0].width, 120, 1e-9);
    EXPECT_NEAR(out[0].height, 140, 1e-9);
    EXPECT_NEAR(out[0].cx, 90, 1e-9);
    EXPECT_NEAR(out[1].width, 50, 1e-9);
}

TEST(DetectStagesSeams, FindsTheSeamBetweenTwoPicturesButNotInsideAFlatOne)
{
    // Two pictures side by side on one 400×200 rectangle, the seam at x = 200.
    const WorkingBitmap pair = plane(480, 260, [](int x, int y) -> float {
        return x < 240 ? 60.0f + float((x + 2 * y) % 9) : 170.0f + float((3 * x + y) % 11);
    });
    const OrientedRect both{239.5, 129.5, 400, 200, 0};
    const std::optional<AxisSeam> seam = findAxisSeam(both, pair, 75);
    ASSERT_TRUE(seam);
    EXPECT_EQ(seam->axis, 0);
    EXPECT_NEAR(seam->offset, 0.5, 1.0);
    EXPECT_GT(seam->stepping, 0.95);

    const WorkingBitmap one = plane(480, 260, [](int x, int y) { return 120.0f + float((x * 5 + y * 3) % 13); });
    EXPECT_FALSE(findAxisSeam(both, one, 75));
}

TEST(DetectStagesPaper, TheLidSurfaceFollowsAGradientAndVignetting)
{
    const int w = 300, h = 400;
    std::array<std::vector<float>, 3> smooth;
    auto lid = [&](int c, int x, int y) {
        const double u = 2.0 * x / (w - 1) - 1, v = 2.0 * y / (h - 1) - 1;
        return 230.0 - 4 * c + 6 * u - 3 * v - 5 * (u * u + v * v);
    };
    for (int c = 0; c < 3; ++c) {
        smooth[size_t(c)].resize(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) smooth[size_t(c)][size_t(y) * w + x] = float(lid(c, x, y));
    }
    // A print reaching into the band must not pull the surface off the lid.
    for (int y = 10; y < 60; ++y)
        for (int x = 100; x < 200; ++x)
            for (int c = 0; c < 3; ++c) smooth[size_t(c)][size_t(y) * w + x] = 60;
    const std::optional<LidSurface> s = fitLidSurface(smooth, w, h, {{230, 226, 222}, 42}, 40, 40);
    ASSERT_TRUE(s);
    for (int y : {0, 200, 399})
        for (int x : {0, 150, 299})
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(s->at(c, x, y), lid(c, x, y), 0.05);
    EXPECT_DOUBLE_EQ(s->tolerance, 7.0);  // a perfectly smooth lid: the least tolerance
}

TEST(DetectStagesPaper, AWholeSheetReplacesAPieceButNotTwoWholePrints)
{
    const SnappedRect sheet{{200, 200, 200, 150, 0}, {0, 0, 0, 0}, 4};
    // A piece of the sheet the first flood left, with one ragged side.
    const SnappedRect piece{{170, 200, 140, 150, 0}, {0, 0, 0, 0}, 3};
    std::vector<SnappedRect> merged = mergePaper({piece}, {sheet});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_DOUBLE_EQ(merged[0].rect.width, 200);

    // Two clean prints side by side that the sheet spans stay two.
    const SnappedRect a{{150, 200, 98, 150, 0}, {0, 0, 0, 0}, 4};
    const SnappedRect b{{250, 200, 98, 150, 0}, {0, 0, 0, 0}, 4};
    merged = mergePaper({a, b}, {sheet});
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_DOUBLE_EQ(merged[0].rect.width, 98);

    // A sheet nowhere near what was found is a print the first flood missed.
    const SnappedRect elsewhere{{600, 600, 100, 100, 0}, {0, 0, 0, 0}, 4};
    EXPECT_EQ(mergePaper({a}, {elsewhere}).size(), 2u);
}
