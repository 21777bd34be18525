#include "model/DrawSide.h"
#include "model/ScanRegion.h"
#include "model/ScanSettings.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <numbers>

TEST(ScanRegionGeometry, CornersRunClockwiseFromTopLeftAndTheBoxHoldsThem)
{
    const struct {
        QPointF center;
        QSizeF size;
        double angle;
        std::array<QPointF, 4> corners;
        QRectF box;
    } cases[] = {
        {{2, 3}, {4, 2}, 0, {QPointF(0, 2), QPointF(4, 2), QPointF(4, 4), QPointF(0, 4)}, {0, 2, 4, 2}},
        // A quarter turn is clockwise on the bed: the top-left corner swings to the upper right.
        {{0, 0}, {4, 2}, std::numbers::pi / 2, {QPointF(1, -2), QPointF(1, 2), QPointF(-1, 2), QPointF(-1, -2)},
         {-1, -2, 2, 4}},
    };
    for (const auto& c : cases) {
        ScanRegion r;
        r.center = c.center, r.size = c.size, r.angle = c.angle;
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(r.corners()[i].x(), c.corners[i].x(), 1e-12) << i;
            EXPECT_NEAR(r.corners()[i].y(), c.corners[i].y(), 1e-12) << i;
        }
        const QRectF box = r.aabbInches();
        EXPECT_NEAR(box.left(), c.box.left(), 1e-12);
        EXPECT_NEAR(box.top(), c.box.top(), 1e-12);
        EXPECT_NEAR(box.right(), c.box.right(), 1e-12);
        EXPECT_NEAR(box.bottom(), c.box.bottom(), 1e-12);
    }
    ScanRegion tilted;
    tilted.center = QPointF(5, 5), tilted.size = QSizeF(6, 4), tilted.angle = 0.05;
    EXPECT_NEAR(tilted.aabbInches().width(), 6 * std::cos(0.05) + 4 * std::sin(0.05), 1e-12);
    EXPECT_NEAR(tilted.aabbInches().height(), 6 * std::sin(0.05) + 4 * std::cos(0.05), 1e-12);
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
