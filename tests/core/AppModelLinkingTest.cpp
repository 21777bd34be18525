#include "support/Make.h"
#include "support/ModelFixture.h"

namespace {

class LinkingTest : public ModelFixture {
protected:
    ScanRegion add(QPointF at, std::optional<BackTarget> target, std::optional<QString> frontBase = std::nullopt)
    {
        ScanRegion r = makeRegion(at, {2, 2}, target, "Region");
        r.frontBase = frontBase;
        auto list = model->regions();
        list.push_back(r);
        model->setRegions(list);
        return r;
    }
    std::optional<BackTarget> targetOf(const QUuid& id) { return model->region(id)->back; }
    static BackTarget history(const QString& base) { return BackTarget::history(base); }
};

}  // namespace

TEST_F(LinkingTest, PairingModeAndMarkAllTurnFrontsIntoBacks)
{
    AppModel& m = makeModel();
    const auto remembered = add({1, 1}, std::nullopt, "scan_0004");
    const auto plain = add({4, 1}, std::nullopt);
    const auto linked = add({6, 6}, history("scan_0009"));
    m.setPairing(true);
    EXPECT_EQ(m.drawSide(), DrawSide::back);
    EXPECT_EQ(targetOf(remembered.id), history("scan_0004"));
    EXPECT_EQ(targetOf(plain.id), BackTarget::automatic());
    EXPECT_EQ(targetOf(linked.id), history("scan_0009")) << "existing backs keep their targets";
    m.setPairing(false);
    EXPECT_FALSE(m.pairingMode());
    EXPECT_EQ(m.drawSide(), DrawSide::back);

    m.pair(plain.id, remembered.id);
    m.markAllBacks(true);
    EXPECT_EQ(targetOf(remembered.id), history("scan_0004"));
    EXPECT_EQ(targetOf(plain.id), BackTarget::automatic()) << "a manual link is replaced";
    m.markAllBacks(false);
    EXPECT_FALSE(targetOf(remembered.id));
    EXPECT_FALSE(targetOf(linked.id));
}

TEST_F(LinkingTest, PairAndLinkBackSelectTheBackAndTakeTheBaseFromItsOtherBack)
{
    AppModel& m = makeModel();
    const auto a = add({1, 1}, BackTarget::automatic());
    const auto b = add({4, 1}, BackTarget::automatic());
    const auto first = add({7, 1}, history("scan_0003"));
    m.pair(a.id, b.id);
    EXPECT_EQ(targetOf(a.id), BackTarget::region(b.id));
    EXPECT_FALSE(targetOf(b.id)) << "the front is made a front";
    EXPECT_EQ(m.selectedID(), a.id);
    m.pair(a.id, a.id);
    m.pair(a.id, QUuid::createUuid());
    EXPECT_EQ(targetOf(a.id), BackTarget::region(b.id)) << "a pair with itself or a missing region does nothing";

    m.setStatus("before");
    m.linkBack(b.id, "scan_0003");
    EXPECT_EQ(targetOf(b.id), history("scan_0003"));
    EXPECT_EQ(targetOf(first.id), BackTarget::automatic());
    EXPECT_EQ(m.selectedID(), b.id);
    EXPECT_EQ(m.status(), "before");
}

TEST_F(LinkingTest, TheTwoClickGestureLinksOrCancels)
{
    AppModel& m = makeModel();
    const auto back = add({1, 1}, BackTarget::automatic());
    const auto front = add({4, 1}, BackTarget::automatic());
    const auto other = add({7, 1}, history("scan_0002"));
    m.setStatus("quiet");
    m.completePendingLink(back.id);
    m.completePendingLinkToHistory("scan_0001");
    m.cancelLink();
    EXPECT_EQ(m.status(), "quiet") << "nothing pending: nothing happens";

    m.startLink(back.id, false);
    m.startLink(back.id, true);  // a second start replaces the first
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
    m.completePendingLinkToHistory("scan_0002");
    EXPECT_EQ(m.status(), "Linked to scan_0002.");
    EXPECT_EQ(targetOf(back.id), history("scan_0002"));
    EXPECT_EQ(targetOf(other.id), history("scan_0002")) << "other links to that base stay";

    const struct {
        const char* what;
        std::function<void()> end;
    } cancels[] = {
        {"the source itself", [&] { m.completePendingLink(back.id); }},
        {"a region removed meanwhile", [&] { m.removeRegion(front.id); m.completePendingLink(front.id); }},
        {"Escape", [&] { m.cancelLink(); }},
        {"the source removed, then a history pick", [&] { m.removeRegion(back.id); m.completePendingLinkToHistory("scan_0002"); }},
    };
    for (const auto& c : cancels) {
        m.startLink(back.id, true);
        c.end();
        EXPECT_EQ(m.status(), "Link cancelled.") << c.what;
        EXPECT_FALSE(m.pendingLink()) << c.what;
    }
}
