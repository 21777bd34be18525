#include "support/Make.h"
#include "support/ModelFixture.h"
#include "support/Near.h"

namespace {

using EditingTest = ModelFixture;

}  // namespace

TEST_F(EditingTest, DrawnRectanglesBecomeNumberedUprightRegionsOnTheDrawSide)
{
    AppModel& m = makeModel();
    m.addRegion(QRectF(QPointF(5, 4), QPointF(2, 1)));  // dragged up and to the left
    const ScanRegion& r = m.regions()[0];
    EXPECT_EQ(r.name, "Region 1");
    EXPECT_TRUE(near(r, makeRegion({3.5, 2.5}, {3, 3}), 0));
    EXPECT_FALSE(r.isBack());
    EXPECT_FALSE(m.selectedID()) << "drawing does not select";

    // Names count the regions present, so they may repeat.
    m.addRegion(QRectF(1, 0, 1, 1));
    m.addRegion(QRectF(2, 0, 1, 1));
    m.removeRegion(m.regions()[1].id);
    m.setDrawSide(DrawSide::back);
    m.addRegion(QRectF(5, 5, 1, 1));
    ASSERT_EQ(m.regions().size(), 3u);
    EXPECT_EQ(m.regions()[2].name, "Region 3");
    EXPECT_EQ(m.regions()[1].name, "Region 3");
    EXPECT_EQ(m.regions()[2].back, BackTarget::automatic());
}

TEST_F(EditingTest, FlipsFollowTheFrontBaseAndSpaceFlipsTheSelectionOrElseTheDrawSide)
{
    AppModel& m = makeModel();
    m.addRegion(QRectF(0, 0, 2, 2));
    const QUuid id = m.regions()[0].id;
    m.flipRegion(id);
    EXPECT_EQ(m.regions()[0].back, BackTarget::automatic());
    m.flipRegion(id);
    EXPECT_FALSE(m.regions()[0].isBack());

    auto regions = m.regions();
    regions[0].frontBase = "scan_0004";
    m.setRegions(regions);
    m.flipRegion(id);
    EXPECT_EQ(m.regions()[0].back, BackTarget::history("scan_0004"));
    m.flipRegion(QUuid::createUuid());  // unknown: nothing happens
    EXPECT_EQ(m.regions()[0].back, BackTarget::history("scan_0004"));
    m.flipRegion(id);

    m.flipSpace();
    EXPECT_EQ(m.drawSide(), DrawSide::back);
    EXPECT_FALSE(m.regions()[0].isBack());
    m.selectRegion(id);
    m.flipSpace();
    EXPECT_TRUE(m.regions()[0].isBack());
    EXPECT_EQ(m.drawSide(), DrawSide::back);
    m.setSelectedID(QUuid::createUuid());  // a selection that matches nothing
    m.flipSpace();
    EXPECT_EQ(m.drawSide(), DrawSide::front);
}

TEST_F(EditingTest, SelectingReleasesTheKeyboardAndRemovingClearsOnlyItsOwnSelection)
{
    AppModel& m = makeModel();
    int released = 0;
    m.releaseKeyboardFocus = [&] { ++released; };
    m.addRegion(QRectF(0, 0, 1, 1));
    m.addRegion(QRectF(2, 2, 1, 1));
    const QUuid first = m.regions()[0].id;
    const QUuid second = m.regions()[1].id;
    m.selectRegion(first);
    EXPECT_EQ(released, 1);
    m.removeRegion(second);
    EXPECT_EQ(m.selectedRegion()->id, first);
    m.removeRegion(first);
    EXPECT_FALSE(m.selectedID());
    m.selectRegion(std::nullopt);
    EXPECT_EQ(released, 2);
}
