// Reading order and overlap suppression of detected regions.

#include "analysis/AutoDetect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

ScanRegion at(double x, double y, double w = 1, double h = 1)
{
    ScanRegion r;
    r.name = "Photo";
    r.center = QPointF(x, y);
    r.size = QSizeF(w, h);
    return r;
}

std::vector<QPointF> centres(const std::vector<ScanRegion>& rs)
{
    std::vector<QPointF> out;
    for (const auto& r : rs) out.push_back(r.center);
    return out;
}

}  // namespace

TEST(AutoDetectReadingOrder, RowsTopToBottomAndLeftToRightWithinARow)
{
    std::vector<ScanRegion> rs{at(6, 5.3), at(2, 1.4), at(6, 1.0), at(2, 5.0), at(4, 5.45)};
    AutoDetect::sortReadingOrder(rs);
    EXPECT_EQ(centres(rs), (std::vector<QPointF>{{2, 1.4}, {6, 1.0}, {2, 5.0}, {4, 5.45}, {6, 5.3}}));
    EXPECT_TRUE(AutoDetect::readsBefore(at(5, 1.0), at(1, 1.51)));
    EXPECT_TRUE(AutoDetect::readsBefore(at(1, 1.5), at(5, 1.0))) << "half an inch is still one row";
}

TEST(AutoDetectReadingOrder, AgreesWithStableSortWhereConsistentAndStaysSafeWhereNot)
{
    std::mt19937 rng(11);
    // Well separated rows: the comparison is a strict weak order.
    std::uniform_int_distribution<int> row(0, 5), col(0, 9);
    std::vector<ScanRegion> rows;
    for (int i = 0; i < 60; ++i) rows.push_back(at(col(rng) * 0.8, row(rng) * 2.0 + (i % 3) * 0.1));
    std::vector<ScanRegion> expected = rows;
    std::stable_sort(expected.begin(), expected.end(), AutoDetect::readsBefore);
    AutoDetect::sortReadingOrder(rows);
    EXPECT_EQ(rows, expected);

    // A staircase of centres a quarter inch apart: "same row" is not transitive.
    std::vector<ScanRegion> stairs;
    std::uniform_real_distribution<double> any(0, 8);
    for (int i = 0; i < 200; ++i) stairs.push_back(at(any(rng), i * 0.25 + any(rng) * 0.01));
    std::shuffle(stairs.begin(), stairs.end(), rng);
    std::vector<QUuid> before;
    for (const auto& r : stairs) before.push_back(r.id);
    AutoDetect::sortReadingOrder(stairs);
    std::vector<QUuid> after;
    for (const auto& r : stairs) after.push_back(r.id);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before) << "the same regions, each once";
}

TEST(AutoDetectOverlap, FirstOfTwoMostlyOverlappingRegionsSurvives)
{
    const ScanRegion big = at(4, 4, 4, 4);        // bounds 2..6
    const ScanRegion inside = at(3, 3, 1.5, 1.5); // wholly inside big
    const ScanRegion apart = at(8, 8, 2, 2);
    const auto kept = AutoDetect::suppressOverlapping({big, inside, apart});
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].id, big.id);
    EXPECT_EQ(kept[1].id, apart.id);
    EXPECT_EQ(AutoDetect::suppressOverlapping({inside, big}).front().id, inside.id) << "order decides, not size";
}

TEST(AutoDetectOverlap, ShareIsOfTheSmallerBoundsAndTouchingIsNoOverlap)
{
    const ScanRegion a = at(1, 1, 2, 2);  // 0..2
    // Overlap 0.9 × 2 = 1.8 of the smaller's 4 square inches: 45 %, not more.
    const ScanRegion b = at(2.1, 1, 2, 2);
    EXPECT_EQ(AutoDetect::suppressOverlapping({a, b}).size(), 2u);
    const ScanRegion c = at(2.0, 1, 2, 2);  // half of it
    EXPECT_EQ(AutoDetect::suppressOverlapping({a, c}).size(), 1u);
    const ScanRegion touching = at(3, 1, 2, 2);  // 2..4
    EXPECT_EQ(AutoDetect::suppressOverlapping({a, touching}).size(), 2u);
    // Turned regions are compared by their axis-aligned bounds.
    ScanRegion turned = at(1, 1, 2, 0.2);
    turned.angle = 0.785398;
    EXPECT_EQ(AutoDetect::suppressOverlapping({a, turned}).size(), 1u);
}
