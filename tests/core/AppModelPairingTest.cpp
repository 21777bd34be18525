#include "support/ModelFixture.h"

namespace {

class PairingTest : public ModelFixture {
protected:
    static ScanRecord record(const QString& base, QPointF center, std::int64_t session)
    {
        ScanRecord r;
        r.base = base;
        r.center = center;
        r.size = QSizeF(4, 3);
        r.session = session;
        return r;
    }

    static ScanRegion region(QPointF center, std::optional<BackTarget> target = BackTarget::automatic())
    {
        ScanRegion r;
        r.name = "Region";
        r.center = center;
        r.size = QSizeF(4, 3);
        r.back = target;
        return r;
    }

    AppModel::StemMap pairsOf(const std::vector<ScanRegion>& regions)
    {
        model->setRegions(regions);
        return model->backFrontStems();
    }
};

}  // namespace

TEST_F(PairingTest, OnlyTheLatestBatchIsCandidate)
{
    AppModel& m = makeModel();
    m.setHistory({record("scan_0001", {1, 1}, 1), record("scan_0002", {5, 5}, 2)});
    const ScanRegion b = region({1, 1});
    EXPECT_EQ(pairsOf({b}).value(b.id), "scan_0002") << "the session-1 front at the same spot is not a candidate";
    EXPECT_EQ(m.previousScanRecords().size(), 1u);
}

TEST_F(PairingTest, EachBackTakesTheNearestFront)
{
    AppModel& m = makeModel();
    m.setHistory({record("scan_0001", {1.2, 1}, 1), record("scan_0002", {5, 1.1}, 1)});
    const ScanRegion a = region({1, 1});
    const ScanRegion b = region({5, 1});
    const auto pairs = pairsOf({b, a});
    EXPECT_EQ(pairs.value(a.id), "scan_0001");
    EXPECT_EQ(pairs.value(b.id), "scan_0002");
}

TEST_F(PairingTest, MoreBacksThanCandidatesLeavesTheFarthestUnpaired)
{
    AppModel& m = makeModel();
    m.setHistory({record("scan_0001", {1, 1}, 1), record("scan_0002", {5, 1}, 1)});
    const ScanRegion near1 = region({1, 1.2});
    const ScanRegion far = region({3, 9});
    const ScanRegion near2 = region({5, 1.2});
    m.setRegions({near1, far, near2});
    const auto pairs = m.backFrontStems();
    EXPECT_EQ(pairs.size(), 2);
    EXPECT_FALSE(pairs.contains(far.id));
    EXPECT_EQ(m.plannedStems().value(far.id), "scan_0001") << "the leftover back is numbered on its own";
}

TEST_F(PairingTest, TheWalkIsGreedyNotGloballyOptimal)
{
    AppModel& m = makeModel();
    m.setHistory({record("P", {1.9, 0}, 1), record("Q", {10, 0}, 1)});
    const ScanRegion a = region({0, 0});
    const ScanRegion b = region({2, 0});
    const auto pairs = pairsOf({a, b});
    EXPECT_EQ(pairs.value(b.id), "P");
    EXPECT_EQ(pairs.value(a.id), "Q");
}

TEST_F(PairingTest, AnExplicitTargetClaimsItsBase)
{
    AppModel& m = makeModel();
    m.setHistory({record("scan_0003", {1, 1}, 1), record("scan_0004", {6, 6}, 1)});
    const ScanRegion linked = region({9, 9}, BackTarget::history("scan_0003"));
    const ScanRegion onTheSpot = region({1, 1});
    const auto pairs = pairsOf({linked, onTheSpot});
    EXPECT_EQ(pairs.value(linked.id), "scan_0003");
    EXPECT_EQ(pairs.value(onTheSpot.id), "scan_0004");
}

TEST_F(PairingTest, CurrentFrontsJoinThePoolAfterTheHistory)
{
    AppModel& m = makeModel();
    const ScanRegion f = region({2, 2}, std::nullopt);
    const ScanRegion b = region({2.1, 2});
    const auto pairs = pairsOf({f, b});
    EXPECT_EQ(pairs.value(b.id), "scan_0001");
    EXPECT_EQ(m.plannedStems().value(b.id), "scan_0001_b");
}

TEST_F(PairingTest, ALinkToARegionThatIsNoLongerAFrontPairsWithNothing)
{
    AppModel& m = makeModel();
    const ScanRegion f = region({2, 2}, BackTarget::automatic());  // flipped to a back
    const ScanRegion b = region({8, 8}, BackTarget::region(f.id));
    m.setRegions({f, b});
    EXPECT_FALSE(m.backFrontStems().contains(b.id));
    EXPECT_EQ(m.regions()[1].back, BackTarget::region(f.id)) << "the target is kept";
}

TEST_F(PairingTest, ColourIndicesFollowReadingOrderWithARowTolerance)
{
    AppModel& m = makeModel();
    m.setHistory({record("a", {5, 1.0}, 1), record("b", {1, 1.8}, 1), record("c", {3, 4}, 1)});
    const auto index = m.previousColorIndexByBase();
    EXPECT_EQ(index.value("b"), 0);
    EXPECT_EQ(index.value("a"), 1);
    EXPECT_EQ(index.value("c"), 2);

    m.setHistory({record("x", {1, 1}, 1), record("x", {5, 1}, 1)});
    EXPECT_EQ(m.previousColorIndexByBase().value("x"), 1) << "a later duplicate base wins";
}

TEST_F(PairingTest, ColourIndicesStaySafeWhenTheToleranceChainsAcrossRows)
{
    // Each record is within an inch of the next but not of the one after: no consistent order
    // exists, and the sort must still give every record one index.
    AppModel& m = makeModel();
    std::vector<ScanRecord> chain;
    for (int i = 0; i < 40; ++i) chain.push_back(record(QString("r%1").arg(i), {double((i * 7) % 11), i * 0.6}, 1));
    m.setHistory(chain);
    const auto index = m.previousColorIndexByBase();
    ASSERT_EQ(index.size(), 40);
    QSet<int> positions;
    for (int v : index) positions.insert(v);
    EXPECT_EQ(positions.size(), 40);
}

TEST_F(PairingTest, PairingNeedsAPreviousBatchAnOverviewAndAScanner)
{
    AppModel& m = makeModel();
    m.setHistory({record("scan_0001", {1, 1}, 1)});
    EXPECT_FALSE(m.canPair()) << "no overview yet";
    m.setOverview(QImage(10, 10, QImage::Format_RGB32));
    EXPECT_FALSE(m.canPair()) << "no scanner info";
    m.setInfo(ScriptedEngine::defaultInfo());
    EXPECT_TRUE(m.canPair());
    m.setHistory({});
    EXPECT_FALSE(m.canPair());
}
