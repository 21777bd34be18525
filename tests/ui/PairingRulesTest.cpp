#include "ui/PairPalette.h"
#include "ui/PairingGeometry.h"
#include "ui/PairingRules.h"

#include "support/Make.h"
#include "support/Near.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace PairingRules;

namespace {

QPolygonF square(QPointF topLeft, double side)
{
    return QPolygonF({topLeft, topLeft + QPointF(side, 0), topLeft + QPointF(side, side), topLeft + QPointF(0, side)});
}

ScanRegion back() { return makeRegion({}, {}, BackTarget::automatic()); }

}  // namespace

TEST(PairingRules, PointInPolygonFollowsTheEvenOddRule)
{
    // A five-pointed star drawn in one stroke: its middle is crossed twice, so it is outside.
    QPolygonF star;
    for (int i = 0; i < 5; ++i) {
        const double a = -M_PI / 2 + i * 4 * M_PI / 5;
        star << QPointF(std::cos(a) * 10, std::sin(a) * 10);
    }
    const QPolygonF diamond({{0, -5}, {5, 0}, {0, 5}, {-5, 0}});
    struct Case { QPointF p; QPolygonF polygon; bool inside; const char* what; };
    const Case cases[] = {
        {{5, 5}, square({0, 0}, 10), true, "inside a square"},
        {{15, 5}, square({0, 0}, 10), false, "right of a square"},
        {{-1, 5}, square({0, 0}, 10), false, "left of a square"},
        {{3.9, 1.5}, diamond, false, "outside a rotated square, inside its bounds"},
        {{2, 2}, diamond, true, "inside a rotated square"},
        {{0, 0}, star, false, "the star's doubly crossed middle"},
        {{0, -8}, star, true, "a point of the star"},
        {{1, 1}, QPolygonF({{0, 0}, {10, 10}}), false, "two vertices"},
        {{0, 0}, QPolygonF(), false, "no vertices"},
    };
    for (const Case& c : cases) EXPECT_EQ(pointInPolygon(c.p, c.polygon), c.inside) << c.what;
}

TEST(PairingRules, PaletteWrapsEveryIndexAndGreysTheUnmatched)
{
    const auto& colors = PairPalette::colors();
    for (const auto& [index, wrapped] : {std::pair{-1, 11}, {12, 0}, {-13, 11}})
        EXPECT_EQ(PairPalette::color(index), colors[std::size_t(wrapped)]) << index;
    EXPECT_EQ(PairPalette::color(std::nullopt), QColor::fromRgbF(0.55f, 0.55f, 0.55f));
}

TEST(PairingRules, ADragStartsAtThreePointsOfTravel)
{
    struct Case { QPointF to; bool drag; };
    const Case cases[] = {{{2.9, 0}, false}, {{2, 2}, false}, {{3, 0}, true}, {{0, -3}, true}, {{2.2, 2.2}, true}};
    for (const Case& c : cases) EXPECT_EQ(isDrag({10, 10}, QPointF(10, 10) + c.to), c.drag) << c.to.x() << "," << c.to.y();
}

TEST(PairingRules, ColoursGoToBacksWhoseFrontHasOneAndTheLastBackOfAFrontGetsTheCord)
{
    const ScanRegion front;
    const ScanRegion paired = back();
    const ScanRegion pairedToStranger = back();
    const ScanRegion alone = back();
    const AppModel::StemMap stems{{paired.id, "scan_0002"}, {pairedToStranger.id, "elsewhere_0001"}, {front.id, "scan_0001"}};
    const RegionColors colors = pairColorIndex({front, paired, pairedToStranger, alone}, stems, {{"scan_0001", 0}, {"scan_0002", 1}});
    EXPECT_EQ(colors, (RegionColors{{paired.id, 1}}));

    // Two backs of one front give the cord to the last in the list; enough backs that the
    // map's own order would differ from the list's somewhere.
    std::vector<ScanRegion> regions;
    AppModel::StemMap backStems;
    for (int i = 0; i < 24; ++i) {
        regions.push_back(back());
        backStems.insert(regions.back().id, QString("scan_%1").arg(i % 3));
    }
    const PairMap map = pairMap(regions, backStems);
    ASSERT_EQ(map.size(), 3);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(map.value(QString("scan_%1").arg(k)), regions[21 + k].id);
    const PairMap reversed = pairMap(std::vector<ScanRegion>(regions.rbegin(), regions.rend()), backStems);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(reversed.value(QString("scan_%1").arg(k)), regions[k].id);
}

namespace {

// Three remembered fronts a, b, c on the left; backs A and B on the right paired with a and b.
struct Scene {
    QUuid backA = QUuid::createUuid();
    QUuid backB = QUuid::createUuid();
    LinkScene scene;
    Scene()
    {
        scene.colorByBase = {{"a", 0}, {"b", 1}, {"c", 2}};
        scene.pairMap = {{"a", backA}, {"b", backB}};
        scene.prevFrames = {{"a", square({0, 0}, 10), {5, 5}}, {"b", square({0, 20}, 10), {5, 25}},
                            {"c", square({0, 40}, 10), {5, 45}}};
        scene.currentFrames = {{backB, square({100, 20}, 10), {105, 25}}, {backA, square({100, 0}, 10), {105, 5}}};
    }
};

}  // namespace

TEST(PairingRules, ConnectorsFollowTheToggleTheHoverAndTheDrag)
{
    const Scene s;
    const Connector a{{5, 5}, {105, 5}, 0, false};
    const Connector b{{5, 25}, {105, 25}, 1, false};
    const auto emphatic = [](Connector c) { c.emphatic = true; return c; };
    const LinkDrag dragging{"c", 2, {5, 45}, {60, 60}};
    struct Case { bool all; std::optional<QString> hovered; std::optional<LinkDrag> drag; std::vector<Connector> expected; const char* what; };
    const Case cases[] = {
        {false, std::nullopt, std::nullopt, {}, "toggle off, nothing hovered"},
        {false, "b", std::nullopt, {emphatic(b)}, "hovering a paired front"},
        {false, "c", std::nullopt, {}, "hovering a front without a back"},
        {false, "b", dragging, {}, "the hover cord gives way to a dragged one"},
        {true, std::nullopt, std::nullopt, {a, b}, "all links, in colour order"},
        {true, "a", dragging, {emphatic(a), b}, "all links stay while dragging; the hovered one is emphatic"},
    };
    for (const Case& c : cases) {
        LinkScene scene = s.scene;
        scene.showAllLinks = c.all;
        scene.hoveredBase = c.hovered;
        scene.linkDrag = c.drag;
        EXPECT_EQ(connectors(scene), c.expected) << c.what;
    }
}

TEST(PairingRules, ACordNeedsTheBackAndBothFrames)
{
    Scene s;
    s.scene.currentFrames.pop_back();  // back A not reported (yet)
    EXPECT_FALSE(cord("a", true, s.scene));
    s.scene.prevFrames.erase(s.scene.prevFrames.begin() + 1);
    EXPECT_FALSE(cord("b", true, s.scene));
    s.scene.colorByBase.clear();
    s.scene.prevFrames = Scene().scene.prevFrames;
    EXPECT_EQ(cord("b", false, s.scene)->colorIndex, 0) << "no colour: index 0";
}

TEST(PairingRules, TheLinkTargetIsTheFirstReportedBackUnderTheCordOrThePendingPointer)
{
    const QUuid first = QUuid::createUuid();
    const QUuid second = QUuid::createUuid();
    const PairFrames overlapping{{first, square({0, 0}, 10), {5, 5}}, {second, square({5, 5}, 10), {10, 10}}};
    const LinkDrag overBoth{"a", 0, {-50, 0}, {7, 7}};
    const LinkDrag overSecond{"a", 0, {-50, 0}, {12, 12}};
    EXPECT_EQ(linkTargetID(overBoth, false, std::nullopt, overlapping), first);
    EXPECT_EQ(linkTargetID(overSecond, true, QPointF(7, 7), overlapping), second) << "the drag wins";
    EXPECT_EQ(linkTargetID(std::nullopt, true, QPointF(12, 12), overlapping), second);
    EXPECT_EQ(linkTargetID(std::nullopt, false, QPointF(12, 12), overlapping), std::nullopt);
    EXPECT_EQ(linkTargetID(std::nullopt, true, std::nullopt, overlapping), std::nullopt);
    EXPECT_EQ(frameAt({7, 7}, PairFrames(overlapping.rbegin(), overlapping.rend())), second);
}

TEST(PairingRules, APendingLinkHighlightsThePhotoUnderItsPointerAndDrawsItsCord)
{
    const Scene s;
    EXPECT_EQ(highlightBase(true, QPointF(5, 22), s.scene.prevFrames), "b");
    EXPECT_EQ(highlightBase(true, QPointF(50, 22), s.scene.prevFrames), std::nullopt);
    EXPECT_EQ(highlightBase(false, QPointF(5, 22), s.scene.prevFrames), std::nullopt);

    const PendingLink pending{s.backB, true};
    EXPECT_EQ(pendingCord(pending, s.scene.currentFrames, {{s.backB, 7}}, QPointF(3, 3)),
              (LinkDrag{QString(), 7, {105, 25}, {3, 3}}));
    EXPECT_EQ(pendingCord(pending, s.scene.currentFrames, {}, QPointF(3, 3))->colorIndex, 0);
    EXPECT_FALSE(pendingCord(pending, s.scene.currentFrames, {}, std::nullopt));
    EXPECT_FALSE(pendingCord(PendingLink{QUuid::createUuid(), true}, s.scene.currentFrames, {}, QPointF(3, 3)));
    EXPECT_FALSE(pendingCord(std::nullopt, s.scene.currentFrames, {}, QPointF(3, 3)));
}

TEST(PairingRules, ThePreviousBedIsRememberedOrTheScannersOrLetterSized)
{
    ScannerInfo a4, unknown;
    a4.bedSizeInches = QSizeF(8.27, 11.69);
    EXPECT_EQ(previousBedSize(QSizeF(9, 12), a4), QSizeF(9, 12));
    EXPECT_EQ(previousBedSize(std::nullopt, a4), QSizeF(8.27, 11.69));
    EXPECT_EQ(previousBedSize(std::nullopt, std::nullopt), QSizeF(8.5, 11.7));
    EXPECT_EQ(previousBedSize(QSizeF(0, 0), unknown), QSizeF(8.5, 11.7)) << "empty sizes count as unknown";
}

TEST(PairingGeometry, ThePreviousScanFitsItsHalfAndMapsByTheBedsWidth)
{
    using namespace PairingGeometry;
    EXPECT_EQ(fitRect({200, 100}, {100, 100}), QRectF(0, 25, 100, 50));
    EXPECT_EQ(fitRect({8.5, 11.7}, {170, 468}), QRectF(0, 117, 170, 234));
    EXPECT_EQ(fitRect({0, 100}, {100, 100}), QRectF());
    EXPECT_EQ(fitRect({100, 100}, {100, 0}), QRectF());
    EXPECT_EQ(mapBedPoint({1, 2}, QRectF(10, 20, 170, 234), {8.5, 11.7}), QPointF(30, 60));
    EXPECT_EQ(mapBedPoint({1, 2}, QRectF(10, 20, 170, 234), {0, 11.7}), QPointF(11, 22)) << "unknown width: one point an inch";

    ScanRecord r = makeRecord("", 0, {2, 2}, {2, 1});
    r.angle = M_PI / 2;
    const QPolygonF p = recordPolygon(r, QRectF(0, 0, 100, 100), {10, 10});
    ASSERT_EQ(p.size(), 4);
    EXPECT_TRUE(near(p[0], QPointF(25, 10))) << "the top-left corner turned a quarter clockwise";
    EXPECT_EQ(polygonAt({5, 5}, {square({0, 0}, 10), square({2, 2}, 10)}), 1u) << "the topmost, drawn last";
    EXPECT_EQ(polygonAt({50, 5}, {square({0, 0}, 10)}), std::nullopt);
}

TEST(PairingGeometry, CordsHangWithinTheirLimitsAndBracketsKeepTheirLength)
{
    using namespace PairingGeometry;
    for (const auto& [span, link, connector] : {std::tuple{10.0, 18.0, 12.0}, {200.0, 36.0, 28.0}, {1000.0, 70.0, 54.0}})
        EXPECT_TRUE(std::abs(linkCordSag(span) - link) < 1e-12 && std::abs(connectorSag(span) - connector) < 1e-12) << span;
    const QPainterPath path = cordPath({0, 10}, {100, 30}, 20);
    // The quadratic's control point (50, 50), 20 below the lower end, as the cubic Qt keeps.
    EXPECT_TRUE(near(QPointF(path.elementAt(1)), QPointF(100.0 / 3, 110.0 / 3)));

    struct Case { double side; double arm; };
    for (const Case c : {Case{10, 6}, Case{40, 11.2}, Case{100, 15}}) {
        const auto arms = bracketArms(square({0, 0}, c.side));
        ASSERT_EQ(arms.size(), 8u);
        for (const QLineF& arm : arms) EXPECT_NEAR(arm.length(), c.arm, 1e-9) << c.side;
        EXPECT_EQ(arms[0].p1(), QPointF(0, 0));
    }
    EXPECT_EQ(bracketArms(QPolygonF({{0, 0}, {0, 0}, {10, 0}, {10, 10}})).size(), 6u) << "a zero side has no arms";
}
