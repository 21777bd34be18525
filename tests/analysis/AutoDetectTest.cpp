// Photo detection end to end, on painted beds whose prints are known exactly.

#include "analysis/AutoDetect.h"
#include "support/BedPainter.h"

#include <QtConcurrent/QtConcurrent>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>

using BedPainter::Print;
using BedPainter::Scene;
using BedPainter::radians;

namespace {

constexpr double margin = 0.04;

// The region detection should give for a print: 0.04 inch more on every side, the angle
// brought into (−45°, 45°] with the sides swapped to match.
ScanRegion expectedRegion(const Print& print)
{
    ScanRegion r;
    r.center = print.center;
    r.size = QSizeF(print.size.width() + 2 * margin, print.size.height() + 2 * margin);
    r.angle = print.angle;
    while (r.angle > std::numbers::pi / 4) {
        r.angle -= std::numbers::pi / 2;
        r.size.transpose();
    }
    while (r.angle <= -std::numbers::pi / 4) {
        r.angle += std::numbers::pi / 2;
        r.size.transpose();
    }
    return r;
}

struct Tolerance {
    double center = 0.03;                 // inches
    double size = 0.05;                   // inches
    double angle = radians(0.4);
};

// Every print has exactly one region close to what it should be, and no region is extra.
void expectRegionsMatch(const std::vector<ScanRegion>& got, const std::vector<Print>& prints, Tolerance tol = {})
{
    ASSERT_EQ(got.size(), prints.size());
    std::set<size_t> used;
    for (size_t i = 0; i < prints.size(); ++i) {
        const ScanRegion want = expectedRegion(prints[i]);
        size_t best = got.size();
        double bestDistance = 1e9;
        for (size_t j = 0; j < got.size(); ++j) {
            const QPointF d = got[j].center - want.center;
            const double distance = std::hypot(d.x(), d.y());
            if (distance < bestDistance) {
                bestDistance = distance;
                best = j;
            }
        }
        ASSERT_LT(best, got.size());
        SCOPED_TRACE(testing::Message() << "print " << i);
        EXPECT_TRUE(used.insert(best).second) << "two prints share one region";
        const ScanRegion& r = got[best];
        EXPECT_LT(bestDistance, tol.center);
        EXPECT_NEAR(r.size.width(), want.size.width(), tol.size);
        EXPECT_NEAR(r.size.height(), want.size.height(), tol.size);
        EXPECT_NEAR(r.angle, want.angle, tol.angle);
    }
}

class AutoDetectBeds : public testing::Test {
protected:
    void TearDown() override { AutoDetect::setDebugHook({}); }
};

}  // namespace

TEST_F(AutoDetectBeds, SixPrintsComeBackTightInReadingOrder)
{
    const Scene scene = BedPainter::sixPrints();
    const auto regions = AutoDetect::detect(BedPainter::paint(scene), scene.bed);
    expectRegionsMatch(regions, scene.prints);
    ASSERT_EQ(regions.size(), 6u);
    std::set<QUuid> ids;
    for (size_t i = 0; i < regions.size(); ++i) {
        // The scene lists its prints row by row, left to right.
        EXPECT_LT(std::hypot(regions[i].center.x() - scene.prints[i].center.x(),
                             regions[i].center.y() - scene.prints[i].center.y()), 0.05) << i;
        EXPECT_EQ(regions[i].name, "Photo");
        EXPECT_FALSE(regions[i].back.has_value());
        EXPECT_FALSE(regions[i].frontBase.has_value());
        ids.insert(regions[i].id);
    }
    EXPECT_EQ(ids.size(), 6u);
}

TEST_F(AutoDetectBeds, CentresSitOnPixelCentresNotIndices)
{
    // Edges on whole pixels at 75 dpi: columns 75..374 and rows 75..299 are paper.
    Scene scene;
    scene.bed = QSizeF(8.0, 11.0);
    scene.noise = 0.5;
    scene.prints = {BedPainter::print({3.0, 2.5}, {4.0, 3.0}, 0, {60, 70, 90}, {90, 100, 120})};
    const auto regions = AutoDetect::detect(BedPainter::paint(scene), scene.bed);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_NEAR(regions[0].center.x(), 3.0, 0.002);
    EXPECT_NEAR(regions[0].center.y(), 2.5, 0.002);
    EXPECT_EQ(regions[0].angle, 0.0);
}

TEST_F(AutoDetectBeds, TurnedPrintsKeepTheirAngleWithinAnEighthTurn)
{
    Scene scene;
    scene.prints = {
        BedPainter::print({2.4, 2.4}, {3.5, 2.5}, radians(20), {50, 80, 110}, {140, 120, 90}),
        BedPainter::print({6.2, 2.6}, {3.0, 2.0}, radians(50), {120, 60, 60}, {190, 150, 110}),
        BedPainter::print({4.2, 7.8}, {5.0, 3.5}, 0.001, {40, 70, 50}, {130, 170, 110}),
    };
    const auto regions = AutoDetect::detect(BedPainter::paint(scene), scene.bed);
    expectRegionsMatch(regions, scene.prints, {0.04, 0.06, radians(0.5)});
    for (const ScanRegion& r : regions) {
        EXPECT_GT(r.angle, -std::numbers::pi / 4 - 0.05);
        EXPECT_LE(r.angle, std::numbers::pi / 4 + 0.05);
        if (std::abs(r.center.y() - 7.8) < 0.1) {
            EXPECT_EQ(r.angle, 0.0) << "a hair of tilt is no tilt";
        }
    }
}

TEST_F(AutoDetectBeds, PrintsTouchingAlongALongSeamAreTwo)
{
    Scene scene;
    Print left = BedPainter::print({2.25, 4.0}, {4.0, 6.0}, 0, {30, 35, 50}, {60, 60, 80});
    Print right = BedPainter::print({6.25, 4.0}, {4.0, 6.0}, 0, {200, 190, 170}, {230, 220, 200});
    left.busy = right.busy = false;
    scene.prints = {left, right};
    const auto regions = AutoDetect::detect(BedPainter::paint(scene), scene.bed);
    expectRegionsMatch(regions, scene.prints, {0.04, 0.06, radians(0.4)});
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_LT(regions[0].center.x(), regions[1].center.x()) << "one row, left to right";
}

TEST_F(AutoDetectBeds, TiltedNeighboursDoNotSwallowEachOther)
{
    // Each print's corner reaches into the other's bounding box.
    Scene scene;
    scene.prints = {
        BedPainter::print({2.3, 3.0}, {3.5, 2.5}, radians(14), {60, 80, 120}, {150, 130, 100}),
        BedPainter::print({6.0, 3.6}, {3.5, 2.5}, radians(14), {110, 60, 50}, {200, 160, 120}),
    };
    const auto regions = AutoDetect::detect(BedPainter::paint(scene), scene.bed);
    expectRegionsMatch(regions, scene.prints, {0.04, 0.06, radians(0.5)});
}

TEST_F(AutoDetectBeds, LargePrintIsNotReplacedByADetailOfItsPicture)
{
    // A light, busy 8×10 whose picture holds one dark 3.7×2.6-inch area: looking inside it,
    // the busy picture raises the edge threshold, the flood crosses the paper, and only that
    // area is left, far too small to stand for the print.
    Scene scene;
    Print big = BedPainter::print({4.25, 5.85}, {8.0, 10.0}, radians(1), {205, 200, 190}, {215, 210, 200});
    big.patches = {{QRectF(-1.85, -2.5, 3.7, 2.6), QColor(35, 40, 55)}};
    scene.prints = {big};
    const QImage image = BedPainter::paint(scene);
    const auto inside = AutoDetect::detectInsideRegion(expectedRegion(big), image, scene.bed);
    ASSERT_FALSE(inside.empty()) << "the scene no longer shows a detail inside";
    EXPECT_LT(inside[0].size.width() * inside[0].size.height(), 0.5 * 8 * 10);
    const auto regions = AutoDetect::detect(image, scene.bed);
    expectRegionsMatch(regions, scene.prints, {0.05, 0.08, radians(0.5)});
}

TEST_F(AutoDetectBeds, EmptyBedGivesNothing)
{
    Scene scene;
    EXPECT_TRUE(AutoDetect::detect(BedPainter::paint(scene), scene.bed).empty());
}

TEST_F(AutoDetectBeds, LargeOverviewIsScaledDownAndFindsTheSame)
{
    Scene scene = BedPainter::sixPrints();
    scene.dpi = 150;
    const QImage image = BedPainter::paint(scene);
    ASSERT_GT(std::max(image.width(), image.height()), 1400);
    expectRegionsMatch(AutoDetect::detect(image, scene.bed), scene.prints);
}

TEST_F(AutoDetectBeds, UnusableInputGivesNothing)
{
    const Scene scene = BedPainter::sixPrints();
    const QImage image = BedPainter::paint(scene);
    EXPECT_TRUE(AutoDetect::detect(image, QSizeF(0, 11.7)).empty());
    EXPECT_TRUE(AutoDetect::detect(image, QSizeF(8.5, -1)).empty());
    EXPECT_TRUE(AutoDetect::detect(QImage(), scene.bed).empty());
    QImage tiny(2, 2, QImage::Format_RGB32);
    tiny.fill(Qt::black);
    EXPECT_TRUE(AutoDetect::detect(tiny, scene.bed).empty());
    QImage line(1, 300, QImage::Format_RGB32);
    line.fill(Qt::gray);
    EXPECT_TRUE(AutoDetect::detect(line, QSizeF(0.1, 4)).empty());
}

TEST_F(AutoDetectBeds, GreyAndTransparentOverviewsAreRead)
{
    const Scene scene = BedPainter::sixPrints();
    const QImage colour = BedPainter::paint(scene);
    expectRegionsMatch(AutoDetect::detect(colour.convertToFormat(QImage::Format_Grayscale8), scene.bed),
                       scene.prints);
    expectRegionsMatch(AutoDetect::detect(colour.convertToFormat(QImage::Format_ARGB32), scene.bed), scene.prints);
}

TEST_F(AutoDetectBeds, DebugHookSeesEveryMaskAsBlackAndWhite)
{
    const Scene scene = BedPainter::sixPrints();
    const QImage image = BedPainter::paint(scene);
    std::vector<std::string> labels;
    bool binary = true;
    bool sized = true;
    bool printCentreIsForeground = false;
    AutoDetect::setDebugHook([&](std::span<const std::uint8_t> mask, int w, int h, std::string_view label) {
        labels.emplace_back(label);
        // The paper flood runs at half size.
        const int scale = label == "paper" ? 2 : 1;
        sized = sized && w == image.width() / scale && h == image.height() / scale && mask.size() == size_t(w) * h;
        for (std::uint8_t m : mask) binary = binary && (m == 0 || m == 255);
        if (label == "mask") printCentreIsForeground = mask[size_t(142) * w + 172] == 255;  // (2.3, 1.9) in
    });
    EXPECT_EQ(AutoDetect::detectCore(image, scene.bed).size(), 6u);
    EXPECT_EQ(labels, (std::vector<std::string>{"passable", "mask"}));
    labels.clear();
    const auto regions = AutoDetect::detect(image, scene.bed);
    EXPECT_EQ(labels, (std::vector<std::string>{"passable", "mask", "paper"}));
    EXPECT_TRUE(binary);
    EXPECT_TRUE(sized);
    EXPECT_TRUE(printCentreIsForeground);
    EXPECT_EQ(regions.size(), 6u);
}

TEST_F(AutoDetectBeds, ConcurrentCallsAgreeWithOneCall)
{
    const Scene scene = BedPainter::sixPrints();
    const QImage image = BedPainter::paint(scene);
    const auto alone = AutoDetect::detect(image, scene.bed);
    const QList<int> runs{0, 1, 2, 3};
    const QList<std::vector<ScanRegion>> together =
        QtConcurrent::blockingMapped(runs, [&](int) { return AutoDetect::detect(image, scene.bed); });
    for (const auto& regions : together) {
        ASSERT_EQ(regions.size(), alone.size());
        for (size_t i = 0; i < regions.size(); ++i) {
            EXPECT_EQ(regions[i].center, alone[i].center);
            EXPECT_EQ(regions[i].size, alone[i].size);
            EXPECT_EQ(regions[i].angle, alone[i].angle);
            EXPECT_NE(regions[i].id, alone[i].id) << "every call makes new regions";
        }
    }
}
