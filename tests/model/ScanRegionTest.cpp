#include "model/ScanRegion.h"
#include "model/DrawSide.h"
#include "model/ScanSettings.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

void expectNear(QPointF actual, QPointF expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-12) << "x";
    EXPECT_NEAR(actual.y(), expected.y(), 1e-12) << "y";
}

ScanRegion regionAt(QPointF center, QSizeF size, double angle)
{
    ScanRegion r;
    r.center = center;
    r.size = size;
    r.angle = angle;
    return r;
}

}  // namespace

TEST(ScanRegionGeometry, UnrotatedCornersRunClockwiseFromTopLeft)
{
    const auto r = regionAt({2, 3}, {4, 2}, 0);
    const auto c = r.corners();
    expectNear(c[0], {0, 2});
    expectNear(c[1], {4, 2});
    expectNear(c[2], {4, 4});
    expectNear(c[3], {0, 4});
    EXPECT_EQ(r.aabbInches(), QRectF(0, 2, 4, 2));
}

TEST(ScanRegionGeometry, QuarterTurnIsClockwiseOnTheBed)
{
    const auto r = regionAt({0, 0}, {4, 2}, std::numbers::pi / 2);
    const auto c = r.corners();
    // The top-left corner of the unrotated rectangle swings to the upper right.
    expectNear(c[0], {1, -2});
    expectNear(c[1], {1, 2});
    expectNear(c[2], {-1, 2});
    expectNear(c[3], {-1, -2});
    const QRectF box = r.aabbInches();
    EXPECT_NEAR(box.x(), -1, 1e-12);
    EXPECT_NEAR(box.y(), -2, 1e-12);
    EXPECT_NEAR(box.width(), 2, 1e-12);
    EXPECT_NEAR(box.height(), 4, 1e-12);
}

TEST(ScanRegionGeometry, BoundingBoxOfASmallTiltHoldsEveryCorner)
{
    const auto r = regionAt({5, 5}, {6, 4}, 0.05);
    const QRectF box = r.aabbInches();
    for (QPointF p : r.corners()) {
        EXPECT_GE(p.x(), box.left() - 1e-12);
        EXPECT_LE(p.x(), box.right() + 1e-12);
        EXPECT_GE(p.y(), box.top() - 1e-12);
        EXPECT_LE(p.y(), box.bottom() + 1e-12);
    }
    EXPECT_GT(box.width(), 6);
    EXPECT_GT(box.height(), 4);
}

TEST(TextForms, OnlyExactLowerCaseFormsParse)
{
    EXPECT_EQ(colorModeFromText("color"), ColorMode::color);
    EXPECT_EQ(colorModeFromText("gray"), ColorMode::gray);
    EXPECT_EQ(colorModeFromText("blackWhite"), ColorMode::blackWhite);
    EXPECT_EQ(colorModeFromText("Color"), std::nullopt);
    EXPECT_EQ(colorModeFromText("blackwhite"), std::nullopt);
    EXPECT_EQ(label(ColorMode::blackWhite), "B & W");
    EXPECT_EQ(label(ColorMode::gray), "Grayscale");

    EXPECT_EQ(drawSideFromText("back"), DrawSide::back);
    EXPECT_EQ(drawSideFromText("Back"), std::nullopt);
    EXPECT_EQ(toText(DrawSide::front), "front");
}
