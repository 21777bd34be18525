#include "support/BedPainter.h"
#include "support/Make.h"
#include "support/ModelFixture.h"

#include "ui/AllLinksToggle.h"
#include "ui/ConnectorsView.h"
#include "ui/LinkCordView.h"
#include "ui/PairPalette.h"
#include "ui/PairingGeometry.h"
#include "ui/PairingWorkspace.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QTest>

namespace {

// A workspace over a model that remembers a batch of fronts laid out three to a row, with
// their backs (automatic) lying where the fronts lay. The embedded bed is stood in for by
// frames reported as the bed view reports them: each back's rectangle on the bed fitted into
// the right half.
class WorkspaceTest : public ModelFixture {
protected:
    std::unique_ptr<PairingWorkspace> ws;

    static QPointF spot(int i) { return QPointF(1.5 + (i % 3) * 2.8, 1.6 + (i / 3) * 2.9); }

    PairingWorkspace& open(int fronts, int backs)
    {
        makeModel();
        model->setInfo(ScriptedEngine::defaultInfo());
        model->setOverview(QImage(64, 88, QImage::Format_RGB32));
        std::vector<ScanRecord> history;
        for (int i = 0; i < fronts; ++i)
            history.push_back(makeRecord(AppModel::numberedStem("scan", i + 1), 0, spot(i), {2.4, 2.4}, 1));
        model->setHistory(history);
        std::vector<ScanRegion> regions;
        for (int i = 0; i < backs; ++i)
            regions.push_back(makeRegion(spot(i), {2.4, 2.4}, BackTarget::automatic(), QString("Region %1").arg(i + 1)));
        model->setRegions(regions);
        ws = std::make_unique<PairingWorkspace>(*model);
        ws->resize(1000, 640);
        ws->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(ws.get()));
        ws->setPlan(model->plannedStems());
        reportBacks();
        return *ws;
    }

    QWidget* bed() const
    {
        for (QWidget* w : ws->findChildren<QWidget*>())
            if (w->accessibleName() == "New preview") return w;
        return nullptr;
    }

    QRectF bedRect() const { return QRectF(bed()->mapTo(ws.get(), QPoint(0, 0)), QSizeF(bed()->size())); }

    void reportBacks()
    {
        const QRectF area = bedRect();
        const QRectF fit = PairingGeometry::fitRect({8.5, 11.7}, area.size()).translated(area.topLeft());
        PairFrames frames;
        for (const ScanRegion& r : model->regions())
            frames.push_back({r.id, PairingGeometry::shapePolygon(r.center, r.size, r.angle, fit, {8.5, 11.7}),
                              PairingGeometry::mapBedPoint(r.center, fit, {8.5, 11.7})});
        ws->setCurrentFrames(frames);
    }

    template <class T>
    T* part() const
    {
        for (QWidget* w : ws->findChildren<QWidget*>())
            if (auto* t = dynamic_cast<T*>(w)) return t;
        return nullptr;
    }

    const std::vector<Connector>& cords() const { return part<ConnectorsView>()->connectors(); }
    const std::optional<LinkDrag>& cord() const { return part<LinkCordView>()->linkDrag(); }

    QLabel* label(const QString& text) const
    {
        for (QLabel* l : ws->findChildren<QLabel*>())
            if (l->text() == text) return l;
        return nullptr;
    }

    // Where the front or back is drawn, in the given widget's coordinates.
    QPoint front(int i, QWidget* in) const { return in->mapFrom(ws.get(), ws->prevFrames()[i].center.toPoint()); }
    QPoint back(int i, QWidget* in) const { return in->mapFrom(ws.get(), ws->currentFrames()[i].center.toPoint()); }
    PreviousBedView* previous() const { return ws->findChild<PreviousBedView*>(); }
};

}  // namespace

TEST_F(WorkspaceTest, HeaderCountsTheFrontsAndTheMatchedBacks)
{
    struct Case { int fronts, backs; QString previous, matched; bool green; };
    const Case cases[] = {{3, 3, "3 fronts", "3/3 matched", true}, {1, 0, "1 front", "0/0 matched", false},
                          {0, 0, "0 fronts", "0/0 matched", false}, {4, 4, "4 fronts", "4/4 matched", true},
                          {2, 4, "2 fronts", "2/4 matched", false}};
    for (const Case& c : cases) {
        open(c.fronts, c.backs);
        const auto colour = [&](const QString& text) {
            QLabel* l = label(text);
            EXPECT_TRUE(l) << text.toStdString();
            return l ? l->palette().color(QPalette::WindowText) : QColor();
        };
        EXPECT_EQ(colour(c.previous), Theme::secondary());
        EXPECT_EQ(colour(c.matched), c.green ? PairPalette::colors()[3] : Theme::secondary()) << c.matched.toStdString();
        ws.reset();
        model.reset();
    }
}

TEST_F(WorkspaceTest, HoveringAPreviousPhotoTracesItsLinkAndTheToggleShowsEveryLink)
{
    open(3, 3);
    EXPECT_TRUE(cords().empty()) << "toggle off, nothing hovered";
    ASSERT_EQ(ws->prevFrames().size(), 3u);
    ASSERT_EQ(ws->currentFrames().size(), 3u);

    QTest::mouseMove(previous(), front(1, previous()));
    ASSERT_EQ(cords().size(), 1u);
    EXPECT_EQ(cords()[0], (Connector{ws->prevFrames()[1].center, ws->currentFrames()[1].center, 1, true}));

    QTest::mouseClick(part<AllLinksToggle>(), Qt::LeftButton);
    EXPECT_TRUE(ws->showAllLinks());
    ASSERT_EQ(cords().size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(std::pair(cords()[i].colorIndex, cords()[i].emphatic), std::pair(i, i == 1)) << "only the hovered cord is emphatic";

    // The frames follow the layout: a wider window moves both halves' frames.
    const QPointF before = ws->prevFrames()[0].center;
    ws->resize(1200, 640);
    QCoreApplication::processEvents();
    EXPECT_NE(ws->prevFrames()[0].center, before);
    EXPECT_EQ(cords()[0].from, ws->prevFrames()[0].center);

    // The choice is remembered for the next workspace.
    ws.reset();
    EXPECT_EQ(prefs->boolean(Preferences::showAllLinksKey), true);
    PairingWorkspace again(*model);
    EXPECT_TRUE(again.showAllLinks());
    EXPECT_TRUE(dynamic_cast<AllLinksToggle*>(again.findChildren<QAbstractButton*>().value(0))->isChecked());
}

TEST_F(WorkspaceTest, DraggingACordFromAPreviousPhotoOntoABackLinksThem)
{
    open(3, 3);
    const QUuid target = model->regions()[2].id;
    ASSERT_EQ(model->plannedStems().value(target), "scan_0003_b");
    PreviousBedView* from = previous();

    // A click without a pending link, or a cord dropped away from every back, changes nothing.
    const auto regions = model->regions();
    model->setStatus("before");
    QTest::mouseClick(from, Qt::LeftButton, {}, front(1, from));
    QTest::mousePress(from, Qt::LeftButton, {}, front(0, from));
    QTest::mouseMove(from, front(0, from) + QPoint(40, 0));
    ASSERT_TRUE(cord());
    QTest::mouseRelease(from, Qt::LeftButton, {}, front(0, from) + QPoint(40, 0));
    EXPECT_FALSE(cord());
    EXPECT_EQ(model->regions(), regions);
    EXPECT_EQ(model->status(), "before");
    EXPECT_FALSE(model->selectedID());

    QTest::mouseMove(from, front(0, from));
    ASSERT_EQ(cords().size(), 1u);
    QTest::mousePress(from, Qt::LeftButton, {}, front(0, from));
    QTest::mouseMove(from, front(0, from) + QPoint(2, 0));
    EXPECT_FALSE(cord()) << "2 points is not yet a drag";
    QTest::mouseMove(from, front(0, from) + QPoint(3, 0));
    ASSERT_TRUE(cord());
    EXPECT_EQ(cord()->sourceBase, "scan_0001");
    EXPECT_EQ(cord()->from, ws->prevFrames()[0].center);
    EXPECT_TRUE(cords().empty()) << "the hover cord gives way to the dragged one";

    QTest::mouseMove(from, back(2, from));
    EXPECT_EQ(ws->linkTargetID(), target);
    EXPECT_EQ(cord()->to, QPointF(ws->currentFrames()[2].center.toPoint()));
    QTest::mouseRelease(from, Qt::LeftButton, {}, back(2, from));

    EXPECT_FALSE(cord());
    EXPECT_EQ(model->region(target)->back, BackTarget::history("scan_0001"));
    EXPECT_EQ(model->selectedID(), target);
    EXPECT_EQ(model->plannedStems().value(target), "scan_0001_b");
    EXPECT_EQ(model->plannedStems().value(model->regions()[0].id), "scan_0003_b") << "the back that lost its front pairs anew";
}

TEST_F(WorkspaceTest, APendingLinkHighlightsBothEndsAndIsCompletedOrCancelledByAClick)
{
    open(3, 3);
    const QUuid source = model->regions()[0].id;
    model->startLink(source, true);
    PreviousBedView* prev = previous();

    // Over the bed: the cord runs from the source to the pointer, and the back there is the target.
    QTest::mouseMove(bed(), back(1, bed()));
    ASSERT_TRUE(cord());
    EXPECT_EQ(cord()->from, ws->currentFrames()[0].center);
    EXPECT_EQ(cord()->colorIndex, 0);
    EXPECT_EQ(ws->linkTargetID(), model->regions()[1].id);
    EXPECT_EQ(part<LinkCordView>()->target(), ws->currentFrames()[1].corners);
    // A control the bed shows over itself later is followed too.
    auto* control = new QWidget(bed());
    control->setGeometry(0, 0, 40, 40);
    control->show();
    QTest::mouseMove(control, QPoint(5, 6));
    EXPECT_EQ(ws->pointer().linkCursor, QPointF(bed()->mapTo(ws.get(), QPoint(5, 6))));

    // Over a previous photo: that photo is highlighted, no back is.
    QTest::mouseMove(prev, front(2, prev));
    EXPECT_EQ(prev->highlightBase(), "scan_0003");
    EXPECT_FALSE(prev->pointer().hoveredBase) << "no hover tracing while a link is pending";
    EXPECT_FALSE(ws->linkTargetID());
    EXPECT_EQ(cord()->to, QPointF(ws->prevFrames()[2].center.toPoint()));

    // A drag does nothing while the link is pending; a click picks the photo.
    QTest::mousePress(prev, Qt::LeftButton, {}, front(2, prev));
    QTest::mouseMove(prev, front(1, prev));
    QTest::mouseRelease(prev, Qt::LeftButton, {}, front(1, prev));
    EXPECT_TRUE(model->pendingLink());
    EXPECT_EQ(model->region(source)->back, BackTarget::automatic());
    QTest::mouseClick(prev, Qt::LeftButton, {}, front(2, prev));
    EXPECT_FALSE(model->pendingLink());
    EXPECT_EQ(model->region(source)->back, BackTarget::history("scan_0003"));
    EXPECT_FALSE(prev->highlightBase());
    EXPECT_FALSE(cord());

    // Clicking empty space on the previous scan cancels the next one.
    model->startLink(source, true);
    QTest::mouseClick(prev, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(model->pendingLink());
}
