#include "support/ModelFixture.h"

namespace {

class LinkingTest : public ModelFixture {
protected:
    ScanRegion addFront(QPointF at, std::optional<QString> frontBase = std::nullopt)
    {
        ScanRegion r;
        r.name = "Region";
        r.center = at;
        r.size = QSizeF(2, 2);
        r.frontBase = frontBase;
        auto list = model->regions();
        list.push_back(r);
        model->setRegions(list);
        return r;
    }
    ScanRegion addBack(QPointF at, BackTarget target = BackTarget::automatic())
    {
        ScanRegion r = addFront(at);
        model->setBack(r.id, target);
        return *model->region(r.id);
    }
    std::optional<BackTarget> targetOf(const QUuid& id) { return model->region(id)->back; }
};

}  // namespace

TEST_F(LinkingTest, PairingModeTurnsEveryFrontIntoABack)
{
    AppModel& m = makeModel();
    const auto remembered = addFront({1, 1}, "scan_0004");
    const auto plain = addFront({4, 1});
    const auto linked = addBack({6, 6}, BackTarget::history("scan_0009"));
    m.setPairing(true);
    EXPECT_TRUE(m.pairingMode());
    EXPECT_EQ(m.drawSide(), DrawSide::back);
    EXPECT_EQ(targetOf(remembered.id), BackTarget::history("scan_0004"));
    EXPECT_EQ(targetOf(plain.id), BackTarget::automatic());
    EXPECT_EQ(targetOf(linked.id), BackTarget::history("scan_0009")) << "existing backs keep their targets";
    m.setPairing(false);
    EXPECT_FALSE(m.pairingMode());
    EXPECT_EQ(m.drawSide(), DrawSide::back);
}

TEST_F(LinkingTest, MarkAllReplacesManualLinksOrClearsEveryTarget)
{
    AppModel& m = makeModel();
    const auto f = addFront({1, 1}, "scan_0004");
    const auto b = addBack({4, 1}, BackTarget::region(f.id));
    m.markAllBacks(true);
    EXPECT_EQ(targetOf(f.id), BackTarget::history("scan_0004"));
    EXPECT_EQ(targetOf(b.id), BackTarget::automatic());
    m.markAllBacks(false);
    EXPECT_FALSE(targetOf(f.id));
    EXPECT_FALSE(targetOf(b.id));
}

TEST_F(LinkingTest, PairMakesTheFrontAFrontAndSelectsTheBack)
{
    AppModel& m = makeModel();
    const auto a = addBack({1, 1});
    const auto b = addBack({4, 1});
    m.pair(a.id, b.id);
    EXPECT_EQ(targetOf(a.id), BackTarget::region(b.id));
    EXPECT_FALSE(targetOf(b.id));
    EXPECT_EQ(m.selectedID(), a.id);

    m.pair(a.id, a.id);
    m.pair(a.id, QUuid::createUuid());
    EXPECT_EQ(targetOf(a.id), BackTarget::region(b.id)) << "a pair with itself or a missing region does nothing";
}

TEST_F(LinkingTest, LinkingToARememberedFrontUnlinksItsOtherBack)
{
    AppModel& m = makeModel();
    const auto first = addBack({1, 1}, BackTarget::history("scan_0003"));
    const auto second = addBack({4, 1});
    m.setStatus("before");
    m.linkBack(second.id, "scan_0003");
    EXPECT_EQ(targetOf(second.id), BackTarget::history("scan_0003"));
    EXPECT_EQ(targetOf(first.id), BackTarget::automatic());
    EXPECT_EQ(m.selectedID(), second.id);
    EXPECT_EQ(m.status(), "before");
}

TEST_F(LinkingTest, TheTwoClickGestureLinksOrCancels)
{
    AppModel& m = makeModel();
    const auto back = addBack({1, 1});
    const auto front = addBack({4, 1});

    m.startLink(back.id, true);
    EXPECT_EQ(m.status(), "Click the front to link to — Esc to cancel");
    EXPECT_EQ(m.pendingLink(), (PendingLink{back.id, true}));
    EXPECT_EQ(m.selectedID(), back.id);
    m.completePendingLink(front.id);
    EXPECT_EQ(m.status(), "Linked front ↔ back.");
    EXPECT_FALSE(m.pendingLink());
    EXPECT_EQ(targetOf(back.id), BackTarget::region(front.id));
    EXPECT_FALSE(targetOf(front.id)) << "the clicked region is made the front";

    m.startLink(front.id, false);
    EXPECT_EQ(m.status(), "Click the back to link to — Esc to cancel");
    m.completePendingLink(back.id);
    EXPECT_EQ(targetOf(back.id), BackTarget::region(front.id));

    m.startLink(back.id, true);
    m.completePendingLink(back.id);
    EXPECT_EQ(m.status(), "Link cancelled.") << "the source itself is no target";

    m.startLink(back.id, true);
    m.removeRegion(front.id);
    m.completePendingLink(front.id);
    EXPECT_EQ(m.status(), "Link cancelled.");
    EXPECT_FALSE(m.pendingLink());
}

TEST_F(LinkingTest, CompletingWithNothingPendingOrCancellingTwiceChangesNothing)
{
    AppModel& m = makeModel();
    const auto back = addBack({1, 1});
    m.setStatus("quiet");
    m.completePendingLink(back.id);
    m.completePendingLinkToHistory("scan_0001");
    m.cancelLink();
    EXPECT_EQ(m.status(), "quiet");

    m.startLink(back.id, true);
    m.startLink(back.id, false);  // a second start replaces the first
    EXPECT_EQ(m.pendingLink(), (PendingLink{back.id, false}));
    m.cancelLink();
    EXPECT_EQ(m.status(), "Link cancelled.");
    EXPECT_FALSE(m.pendingLink());
}

TEST_F(LinkingTest, LinkingToHistoryKeepsOtherLinksToThatBase)
{
    AppModel& m = makeModel();
    const auto other = addBack({1, 1}, BackTarget::history("scan_0002"));
    const auto source = addBack({4, 1});
    m.startLink(source.id, true);
    m.completePendingLinkToHistory("scan_0002");
    EXPECT_EQ(m.status(), "Linked to scan_0002.");
    EXPECT_EQ(targetOf(source.id), BackTarget::history("scan_0002"));
    EXPECT_EQ(targetOf(other.id), BackTarget::history("scan_0002"));
    EXPECT_EQ(m.selectedID(), source.id);

    m.startLink(source.id, true);
    m.removeRegion(source.id);
    m.completePendingLinkToHistory("scan_0002");
    EXPECT_EQ(m.status(), "Link cancelled.");
}
