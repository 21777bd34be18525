// Photo detection end to end, on painted beds whose prints are known exactly; reading order
// and overlap suppression of what it finds.

#include "analysis/AutoDetect.h"
#include "support/BedPainter.h"
#include "support/Make.h"

#include <QtConcurrent/QtConcurrent>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>
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
    double center = 0.03;  // inches
    double size = 0.05;    // inches
    double angle = radians(0.4);
};

// Every print has exactly one region close to what it should be, and no region is extra.
void expectRegionsMatch(const std::vector<ScanRegion>& got, const std::vector<Print>& prints, Tolerance tol = {})
{
    ASSERT_EQ(got.size(), prints.size());
    std::set<size_t> used;
    for (size_t i = 0; i < prints.size(); ++i) {
        const ScanRegion want = expectedRegion(prints[i]);
        size_t best = 0;
        for (size_t j = 1; j < got.size(); ++j)
            if (QLineF(got[j].center, want.center).length() < QLineF(got[best].center, want.center).length()) best = j;
        SCOPED_TRACE(testing::Message() << "print " << i);
        EXPECT_TRUE(used.insert(best).second) << "two prints share one region";
        const ScanRegion& r = got[best];
        EXPECT_LT(QLineF(r.center, want.center).length(), tol.center);
        EXPECT_NEAR(r.size.width(), want.size.width(), tol.size);
        EXPECT_NEAR(r.size.height(), want.size.height(), tol.size);
        EXPECT_NEAR(r.angle, want.angle, tol.angle);
    }
}

Scene sceneOf(std::vector<Print> prints, double noise = 1.5)
{
    Scene scene;
    scene.noise = noise;
    scene.prints = std::move(prints);
    return scene;
}

Print flat(Print p)
{
    p.busy = false;
    return p;
}

Print withBorder(Print p, double inches, QColor colour)
{
    p.border = inches;
    p.borderColor = colour;
    return p;
}

Print withPatch(Print p, QRectF area, QColor colour)
{
    p.patches = {{area, colour}};
    return p;
}

// Two 5×3.5 prints at 6°, touching along their 5-inch sides: the seam is too short for the
// core's straight-row split.
std::vector<Print> tiltedPairOnAShortSeam()
{
    const double a = radians(6);
    const QPointF centre(4.25, 5.5), down(-std::sin(a) * 1.75, std::cos(a) * 1.75);
    return {BedPainter::print(centre - down, {5.0, 3.5}, a, {40, 50, 90}, {90, 100, 140}),
            BedPainter::print(centre + down, {5.0, 3.5}, a, {190, 150, 90}, {230, 200, 150})};
}

struct Bed {
    const char* name;
    Scene scene;
    Tolerance tol;
    int coreCount = -1;  // what the flood-and-fit core alone finds, where the stages must do better
};

class AutoDetectBeds : public testing::Test {
protected:
    void TearDown() override { AutoDetect::setDebugHook({}); }
};

}  // namespace

TEST_F(AutoDetectBeds, EveryPrintComesBackTight)
{
    Scene square = sceneOf({BedPainter::print({3.0, 2.5}, {4.0, 3.0}, 0, {60, 70, 90}, {90, 100, 120})}, 0.5);
    square.bed = QSizeF(8.0, 11.0);  // edges on whole pixels: centres must sit on pixel centres
    const Bed beds[] = {
        {"on pixel centres", square, {0.002, 0.05, 0.0}},
        {"turned within an eighth", sceneOf({BedPainter::print({2.4, 2.4}, {3.5, 2.5}, radians(20), {50, 80, 110}, {140, 120, 90}),
                                             BedPainter::print({6.2, 2.6}, {3.0, 2.0}, radians(50), {120, 60, 60}, {190, 150, 110})}),
         {0.04, 0.06, radians(0.5)}},
        {"touching along a long seam", sceneOf({flat(BedPainter::print({2.25, 4.0}, {4.0, 6.0}, 0, {30, 35, 50}, {60, 60, 80})),
                                                flat(BedPainter::print({6.25, 4.0}, {4.0, 6.0}, 0, {200, 190, 170}, {230, 220, 200}))}),
         {0.04, 0.06, radians(0.4)}},
        {"tilted neighbours reaching into each other's box",
         sceneOf({BedPainter::print({2.3, 3.0}, {3.5, 2.5}, radians(14), {60, 80, 120}, {150, 130, 100}),
                  BedPainter::print({6.0, 3.6}, {3.5, 2.5}, radians(14), {110, 60, 50}, {200, 160, 120})}),
         {0.04, 0.06, radians(0.5)}},
        // A light busy 8×10 with one dark area: looking inside, only that area would be left.
        {"large print, not a detail of its picture",
         sceneOf({withPatch(BedPainter::print({4.25, 5.85}, {8.0, 10.0}, radians(1), {205, 200, 190}, {215, 210, 200}),
                            QRectF(-1.85, -2.5, 3.7, 2.6), QColor(35, 40, 55))}),
         {0.05, 0.08, radians(0.5)}},
        {"empty bed", sceneOf({}), {}},
        {"tilted pair on a short seam", sceneOf(tiltedPairOnAShortSeam()), {0.04, 0.06, radians(0.4)}, 1},
        {"offset along their seam", sceneOf({BedPainter::print({3.5, 3.0}, {3.5, 3.5}, 0, {50, 60, 100}, {100, 110, 150}),
                                             BedPainter::print({4.2, 6.5}, {3.5, 3.5}, 0, {170, 130, 70}, {220, 190, 140})}),
         {0.04, 0.06, radians(0.4)}},
        // Cream paper a few levels off the lid: the first flood runs straight across it.
        {"pale back on a white lid",
         sceneOf({flat(BedPainter::print({4.0, 5.0}, {6.0, 4.0}, radians(3), {246, 243, 228}, {246, 243, 228}))}),
         {0.04, 0.08, radians(0.4)}, 0},
        {"white border the core cuts off",
         sceneOf({withBorder(BedPainter::print({4.2, 5.0}, {5.0, 3.5}, radians(2), {70, 90, 60}, {150, 140, 100}), 0.25,
                             QColor(240, 239, 236))}),
         {0.04, 0.06, radians(0.4)}},
        {"a horizon across one print",
         sceneOf({withPatch(BedPainter::print({4.25, 5.85}, {5.0, 7.0}, radians(1.5), {200, 180, 150}, {215, 200, 170}),
                            QRectF(-2.5, -3.5, 5.0, 2.33), QColor(40, 50, 80))}),
         {0.04, 0.06, radians(0.4)}},
    };
    for (const Bed& bed : beds) {
        SCOPED_TRACE(bed.name);
        const QImage image = BedPainter::paint(bed.scene);
        expectRegionsMatch(AutoDetect::detect(image, bed.scene.bed), bed.scene.prints, bed.tol);
        if (bed.coreCount >= 0) {
            EXPECT_EQ(AutoDetect::detectCore(image, bed.scene.bed).size(), size_t(bed.coreCount));
        }
    }
    // The core keeps only the picture inside a white border a few levels off the lid.
    const Scene& bordered = beds[9].scene;
    const auto core = AutoDetect::detectCore(BedPainter::paint(bordered), bordered.bed);
    ASSERT_EQ(core.size(), 1u);
    EXPECT_LT(core[0].size.width() * core[0].size.height(), 4.7 * 3.2);
}

TEST_F(AutoDetectBeds, SixPrintsInReadingOrderFromAnyOverviewAndFromConcurrentCalls)
{
    Scene scene = BedPainter::sixPrints();
    const QImage colour = BedPainter::paint(scene);
    std::vector<std::string> labels;
    bool binaryAndSized = true, printCentreIsForeground = false;
    AutoDetect::setDebugHook([&](std::span<const std::uint8_t> mask, int w, int h, std::string_view label) {
        labels.emplace_back(label);
        const int scale = label == "paper" ? 2 : 1;  // the paper flood runs at half size
        binaryAndSized = binaryAndSized && w == colour.width() / scale && h == colour.height() / scale
                         && mask.size() == size_t(w) * h
                         && std::all_of(mask.begin(), mask.end(), [](std::uint8_t m) { return m == 0 || m == 255; });
        if (label == "mask") printCentreIsForeground = mask[size_t(142) * w + 172] == 255;  // (2.3, 1.9) in
    });
    EXPECT_EQ(AutoDetect::detectCore(colour, scene.bed).size(), 6u);
    EXPECT_EQ(labels, (std::vector<std::string>{"passable", "mask"}));
    labels.clear();
    const auto regions = AutoDetect::detect(colour, scene.bed);
    EXPECT_EQ(labels, (std::vector<std::string>{"passable", "mask", "paper"}));
    EXPECT_TRUE(binaryAndSized);
    EXPECT_TRUE(printCentreIsForeground);
    AutoDetect::setDebugHook({});

    expectRegionsMatch(regions, scene.prints);
    std::set<QUuid> ids;
    for (size_t i = 0; i < regions.size(); ++i) {
        // The scene lists its prints row by row, left to right.
        EXPECT_LT(QLineF(regions[i].center, scene.prints[i].center).length(), 0.05) << i;
        EXPECT_EQ(regions[i].name, "Photo");
        EXPECT_FALSE(regions[i].back.has_value());
        ids.insert(regions[i].id);
    }
    EXPECT_EQ(ids.size(), 6u);
    const QList<std::vector<ScanRegion>> together =
        QtConcurrent::blockingMapped(QList<int>{0, 1, 2, 3}, [&](int) { return AutoDetect::detect(colour, scene.bed); });
    for (const auto& again : together) {
        ASSERT_EQ(again.size(), regions.size());
        for (size_t i = 0; i < regions.size(); ++i) {
            EXPECT_EQ(again[i].center, regions[i].center);
            EXPECT_EQ(again[i].size, regions[i].size);
            EXPECT_EQ(again[i].angle, regions[i].angle);
            EXPECT_NE(again[i].id, regions[i].id) << "every call makes new regions";
        }
    }
    expectRegionsMatch(AutoDetect::detect(colour.convertToFormat(QImage::Format_Grayscale8), scene.bed), scene.prints);
    expectRegionsMatch(AutoDetect::detect(colour.convertToFormat(QImage::Format_ARGB32), scene.bed), scene.prints);

    // Unusable input gives nothing.
    QImage tiny(2, 2, QImage::Format_RGB32), line(1, 300, QImage::Format_RGB32);
    tiny.fill(Qt::black);
    line.fill(Qt::gray);
    EXPECT_TRUE(AutoDetect::detect(colour, QSizeF(0, 11.7)).empty());
    EXPECT_TRUE(AutoDetect::detect(colour, QSizeF(8.5, -1)).empty());
    EXPECT_TRUE(AutoDetect::detect(QImage(), scene.bed).empty());
    EXPECT_TRUE(AutoDetect::detect(tiny, scene.bed).empty());
    EXPECT_TRUE(AutoDetect::detect(line, QSizeF(0.1, 4)).empty());

    scene.dpi = 150;  // scaled down first
    expectRegionsMatch(AutoDetect::detect(BedPainter::paint(scene), scene.bed), scene.prints);
}

namespace {

ScanRegion at(double x, double y, double w = 1, double h = 1) { return makeRegion({x, y}, {w, h}, std::nullopt, "Photo"); }

}  // namespace

TEST(AutoDetectReadingOrder, RowsTopToBottomLeftToRightAndSafeWhereRowsChain)
{
    std::vector<ScanRegion> rs{at(6, 5.3), at(2, 1.4), at(6, 1.0), at(2, 5.0), at(4, 5.45)};
    AutoDetect::sortReadingOrder(rs);
    std::vector<QPointF> centres;
    for (const auto& r : rs) centres.push_back(r.center);
    EXPECT_EQ(centres, (std::vector<QPointF>{{2, 1.4}, {6, 1.0}, {2, 5.0}, {4, 5.45}, {6, 5.3}}));
    EXPECT_TRUE(AutoDetect::readsBefore(at(5, 1.0), at(1, 1.51)));
    EXPECT_TRUE(AutoDetect::readsBefore(at(1, 1.5), at(5, 1.0))) << "half an inch is still one row";

    // A staircase of centres a quarter inch apart: "same row" is not transitive, and the sort
    // must still give back the same regions, each once.
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> any(0, 8);
    std::vector<ScanRegion> stairs;
    for (int i = 0; i < 200; ++i) stairs.push_back(at(any(rng), i * 0.25 + any(rng) * 0.01));
    std::shuffle(stairs.begin(), stairs.end(), rng);
    std::vector<QUuid> before, after;
    for (const auto& r : stairs) before.push_back(r.id);
    AutoDetect::sortReadingOrder(stairs);
    for (const auto& r : stairs) after.push_back(r.id);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
}

TEST(AutoDetectOverlap, TheFirstOfTwoMostlyOverlappingBoundsSurvives)
{
    const ScanRegion a = at(1, 1, 2, 2);  // 0..2
    ScanRegion turned = at(1, 1, 2, 0.2);
    turned.angle = 0.785398;  // compared by its axis-aligned bounds
    const struct {
        ScanRegion second;
        size_t kept;
    } cases[] = {
        {at(2.1, 1, 2, 2), 2},      // 45 % of the smaller's bounds: not more than half
        {at(2.0, 1, 2, 2), 1},      // half of it
        {at(3, 1, 2, 2), 2},        // touching
        {at(0.8, 0.8, 1, 1), 1},    // wholly inside
        {turned, 1},
    };
    for (const auto& c : cases) {
        const auto kept = AutoDetect::suppressOverlapping({a, c.second});
        ASSERT_EQ(kept.size(), c.kept) << c.second.center.x();
        EXPECT_EQ(kept[0].id, a.id) << "order decides, not size";
    }
}
