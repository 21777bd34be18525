#include "model/DrawSide.h"
#include "model/ScanRegion.h"
#include "model/ScanSettings.h"

#include "support/Make.h"
#include "support/Near.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <numbers>

TEST(ScanRegionGeometry, CornersRunClockwiseFromTopLeftAndTheBoxHoldsThem)
{
    const struct { QPointF center; QSizeF size; double angle; std::array<QPointF, 4> corners; QRectF box; } cases[] = {
        {{2, 3}, {4, 2}, 0, {QPointF(0, 2), QPointF(4, 2), QPointF(4, 4), QPointF(0, 4)}, {0, 2, 4, 2}},
        // A quarter turn is clockwise on the bed: the top-left corner swings to the upper right.
        {{0, 0}, {4, 2}, std::numbers::pi / 2, {QPointF(1, -2), QPointF(1, 2), QPointF(-1, 2), QPointF(-1, -2)},
         {-1, -2, 2, 4}},
    };
    for (const auto& c : cases) {
        const ScanRegion r = makeRegion(c.center, c.size, {}, {}, c.angle);
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(near(r.corners()[i], c.corners[i], 1e-12)) << i;
        const QRectF box = r.aabbInches();
        EXPECT_TRUE(near(box.topLeft(), c.box.topLeft(), 1e-12) && near(box.bottomRight(), c.box.bottomRight(), 1e-12));
    }
    const QSizeF tilted = makeRegion({5, 5}, {6, 4}, {}, {}, 0.05).aabbInches().size();
    EXPECT_TRUE(near(tilted, QSizeF(6 * std::cos(0.05) + 4 * std::sin(0.05), 6 * std::sin(0.05) + 4 * std::cos(0.05)), 1e-12));
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
