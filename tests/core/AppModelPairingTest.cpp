#include "support/Make.h"
#include "support/ModelFixture.h"

namespace {

class PairingTest : public ModelFixture {
protected:
    static ScanRecord record(const QString& base, QPointF center, std::int64_t session = 1)
    {
        return makeRecord(base, 0, center, {4, 3}, session);
    }
    static ScanRegion region(QPointF center, std::optional<BackTarget> target = BackTarget::automatic())
    {
        return makeRegion(center, {4, 3}, target, "Region");
    }
};

}  // namespace

TEST_F(PairingTest, BacksPairWithTheNearestFrontOfTheLatestBatch)
{
    const ScanRegion front = region({2, 2}, std::nullopt);
    const ScanRegion flipped = region({2, 2});
    struct Case {
        const char* what;
        std::vector<ScanRecord> history;
        std::vector<ScanRegion> regions;
        std::vector<QString> pairs;  // the front stem of each region, "" for none
    };
    const Case cases[] = {
        {"only the latest batch is candidate", {record("scan_0001", {1, 1}, 1), record("scan_0002", {5, 5}, 2)},
         {region({1, 1})}, {"scan_0002"}},
        {"each back takes the nearest front", {record("scan_0001", {1.2, 1}), record("scan_0002", {5, 1.1})},
         {region({5, 1}), region({1, 1})}, {"scan_0002", "scan_0001"}},
        {"the farthest of too many backs stays unpaired", {record("scan_0001", {1, 1}), record("scan_0002", {5, 1})},
         {region({1, 1.2}), region({3, 9}), region({5, 1.2})}, {"scan_0001", "", "scan_0002"}},
        {"the walk is greedy, not globally optimal", {record("P", {1.9, 0}), record("Q", {10, 0})},
         {region({0, 0}), region({2, 0})}, {"Q", "P"}},
        {"an explicit target claims its base", {record("scan_0003", {1, 1}), record("scan_0004", {6, 6})},
         {region({9, 9}, BackTarget::history("scan_0003")), region({1, 1})}, {"scan_0003", "scan_0004"}},
        {"current fronts join the pool", {}, {front, region({2.1, 2})}, {"", "scan_0001"}},
        {"a link to a region no longer a front pairs with nothing", {},
         {flipped, region({8, 8}, BackTarget::region(flipped.id))}, {"", ""}},
    };
    AppModel& m = makeModel();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m.setHistory(c.history);
        m.setRegions(c.regions);
        const auto pairs = m.backFrontStems();
        for (std::size_t i = 0; i < c.regions.size(); ++i) EXPECT_EQ(pairs.value(c.regions[i].id), c.pairs[i]) << i;
    }
    EXPECT_EQ(m.regions()[1].back, BackTarget::region(flipped.id)) << "the target is kept";
    m.setHistory(cases[2].history);
    m.setRegions(cases[2].regions);
    EXPECT_EQ(m.plannedStems().value(cases[2].regions[1].id), "scan_0001") << "the leftover back is numbered on its own";
    EXPECT_EQ(m.plannedStems().value(cases[2].regions[0].id), "scan_0001_b");
}

TEST_F(PairingTest, ColourIndicesFollowReadingOrderAndPairingNeedsABatchAnOverviewAndAScanner)
{
    AppModel& m = makeModel();
    m.setHistory({record("a", {5, 1.0}), record("b", {1, 1.8}), record("c", {3, 4})});
    EXPECT_EQ(m.previousColorIndexByBase(), (QHash<QString, int>{{"b", 0}, {"a", 1}, {"c", 2}}));
    m.setHistory({record("x", {1, 1}), record("x", {5, 1})});
    EXPECT_EQ(m.previousColorIndexByBase().value("x"), 1) << "a later duplicate base wins";

    // Each record within an inch of the next but not of the one after: no consistent order
    // exists, and the sort must still give every record one index.
    std::vector<ScanRecord> chain;
    for (int i = 0; i < 40; ++i) chain.push_back(record(QString("r%1").arg(i), {double((i * 7) % 11), i * 0.6}));
    m.setHistory(chain);
    QSet<int> positions;
    for (int v : m.previousColorIndexByBase()) positions.insert(v);
    EXPECT_EQ(positions.size(), 40);

    // Pairing needs a previous batch, an overview and a scanner.
    m.setHistory({record("scan_0001", {1, 1})});
    EXPECT_FALSE(m.canPair()) << "no overview yet";
    m.setOverview(QImage(10, 10, QImage::Format_RGB32));
    EXPECT_FALSE(m.canPair()) << "no scanner info";
    m.setInfo(ScriptedEngine::defaultInfo());
    EXPECT_TRUE(m.canPair());
    m.setHistory({});
    EXPECT_FALSE(m.canPair());
}
