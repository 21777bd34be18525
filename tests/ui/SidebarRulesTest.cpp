#include "ui/SidebarRules.h"

#include "support/Make.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace SidebarRules;

TEST(SidebarRules, ScanTitleCountsRegions)
{
    EXPECT_EQ(scanButtonTitle(0), "Scan 0 Regions");
    EXPECT_EQ(scanButtonTitle(1), "Scan 1 Region");
    EXPECT_EQ(scanButtonTitle(3), "Scan 3 Regions");
    EXPECT_EQ(scanCaption(600, ColorMode::blackWhite, "box 3"), "600 dpi · B & W · box 3");
}

TEST(SidebarRules, AngleLabels)
{
    const double deg = M_PI / 180;
    const std::pair<double, std::optional<QString>> cases[] = {
        {0.0, std::nullopt}, {0.0005, std::nullopt}, {-0.0008, std::nullopt}, {0.1, "↻5.7°"}, {-2.5 * deg, "↻-2.5°"},
        {9.94 * deg, "↻9.9°"}, {9.96 * deg, "↻10°"}, {0.5, "↻29°"}, {M_PI / 2, "↻90°"},
        {-30.5 * deg, "↻-31°"} /* halves away from zero */, {std::nan(""), std::nullopt}};
    for (const auto& [radians, label] : cases) EXPECT_EQ(angleLabel(radians), label) << radians;
    EXPECT_EQ(sizeLabel(QSizeF(6, 4)), "6.0×4.0\"");
    EXPECT_EQ(sizeLabel(QSizeF(3.46, 2.04)), "3.5×2.0\"");
}

TEST(SidebarRules, BackTargetLabels)
{
    const ScanRegion front = makeRegion({}, {}, {}, "Region 1"), unplanned = makeRegion({}, {}, {}, "Region 2");
    const std::vector<ScanRegion> regions{front, unplanned};
    const AppModel::StemMap plan{{front.id, "scan_0001"}};
    const struct { std::optional<BackTarget> target; std::optional<QString> label; } cases[] = {
        {std::nullopt, std::nullopt},
        {BackTarget::automatic(), "auto-pairs by area"},
        {BackTarget::history("scan_0007"), "back of scan_0007"},
        {BackTarget::region(front.id), "back of scan_0001"},
        {BackTarget::region(unplanned.id), "back of Region 2"},
        {BackTarget::region(QUuid::createUuid()), "back of front"},
    };
    for (const auto& c : cases) EXPECT_EQ(backTargetLabel(makeRegion({}, {}, c.target), regions, plan), c.label);
    EXPECT_EQ(plannedName(plan, front.id), "scan_0001");
    EXPECT_EQ(plannedName(plan, unplanned.id), "—");
}

TEST(SidebarRules, SavedAreaHeight)
{
    const struct { int lastSaved, history; double block, height; } cases[] = {
        {0, 0, 1000, 28},
        {2, 0, 1000, 28 + 110 + 26},
        {0, 3, 1000, 220},  // 28 + 220 + 26, capped
        {1, 5, 1000, 220},  // 28 + 110 + 26 + 330 + 26, capped
        {1, 5, 400, 160},   // 40 % of the block
        {1, 0, 300, 120},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(savedAreaHeight(c.lastSaved, c.history, c.block), c.height) << c.lastSaved << " " << c.history;
}

TEST(SidebarRules, BadgeMenuOffersOtherFrontsThenTheEightNewestRecords)
{
    const ScanRegion self = makeRegion({}, {}, {}, "Region 1"), other = makeRegion({}, {}, {}, "Region 2"),
                     otherBack = makeRegion({}, {}, BackTarget::automatic()), unplanned = makeRegion({}, {}, {}, "Region 4");
    const AppModel::StemMap plan{{other.id, "scan_0002"}};

    const auto alone = badgeMenuEntries(self, {self}, plan, {});
    ASSERT_EQ(alone.size(), 2u);
    EXPECT_EQ(std::pair(alone[0].text, alone[0].target), std::pair(QString("Front side"), std::optional<BackTarget>()));
    EXPECT_EQ(std::pair(alone[1].text, alone[1].target), std::pair(QString("Back — auto (same area)"), std::optional(BackTarget::automatic())));

    std::vector<ScanRecord> history;  // out of order: the newest are records 3, 6, 9, …
    for (int i = 0; i < 20; ++i) history.push_back(makeRecord(QString("scan_%1").arg(i + 1, 4, 10, QChar('0')), (i * 7) % 20));
    const auto full = badgeMenuEntries(self, {self, other, otherBack, unplanned}, plan, history);
    ASSERT_EQ(full.size(), 2u + 2u + 8u);
    EXPECT_EQ(full[2].text, "Back of scan_0002");
    EXPECT_EQ(full[2].target, BackTarget::region(other.id));
    EXPECT_TRUE(full[2].dividerBefore);
    EXPECT_EQ(full[3].text, "Back of Region 4");
    EXPECT_FALSE(full[3].dividerBefore);
    EXPECT_TRUE(full[4].dividerBefore);
    for (std::size_t i = 4; i < full.size(); ++i) {
        const auto& r = *std::find_if(history.begin(), history.end(),
                                      [&](const ScanRecord& h) { return full[i].target == BackTarget::history(h.base); });
        EXPECT_EQ(r.date, 19 - double(i - 4)) << "newest first";
        EXPECT_EQ(full[i].text, "Back of " + r.base);
    }
}

TEST(SidebarRules, SpringSettlesOnItsTargetAfterOvershooting)
{
    double highest = 0;
    for (int i = 1; i < 100; ++i) highest = std::max(highest, springProgress(i / 100.0, 0.3, 0.72, 0.5));
    EXPECT_GT(highest, 1.0);
    EXPECT_LT(highest, 1.1);
    EXPECT_NEAR(springProgress(0.99, 0.3, 0.72, 0.5), 1.0, 0.01);
    EXPECT_EQ(springProgress(1, 0.3, 0.72, 0.5), 1.0);
}
