// The bed view driven by real mouse, wheel and menu events, over a model with the scripted
// engine: an 8×10-inch bed shown 400×500 points large, so one inch is 50 points.

#include "support/Make.h"
#include "support/ModelFixture.h"
#include "support/Near.h"
#include "ui/BedDrawing.h"
#include "ui/BedOrPlaceholder.h"
#include "ui/BedView.h"
#include "ui/Theme.h"
#include "ui/ZoomControls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <numbers>

namespace {

constexpr double pi = std::numbers::pi;

QPointF at(double x, double y) { return {x * 50, y * 50}; }  // bed inches to view points

class BedViewTest : public ModelFixture {
protected:
    std::unique_ptr<QWidget> host;
    BedView* view = nullptr;

    void SetUp() override
    {
        AppModel& m = makeModel();
        ScannerInfo info = ScriptedEngine::defaultInfo();
        info.bedSizeInches = QSizeF(8, 10);
        m.setInfo(info);
        QImage overview(80, 100, QImage::Format_RGB32);
        overview.fill(QColor(128, 128, 128));
        m.setOverview(overview);
        host = std::make_unique<QWidget>();
        host->resize(430, 540);
        view = new BedView(m, host.get());
        view->setGeometry(10, 20, 400, 500);
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    }

    QUuid add(QPointF center, QSizeF size, bool back = false, double angle = 0)
    {
        const ScanRegion r = makeRegion(center, size, back ? std::optional(BackTarget::automatic()) : std::nullopt,
                                        QString("Region %1").arg(model->regions().size() + 1), angle);
        auto next = model->regions();
        next.push_back(r);
        model->setRegions(next);
        return r.id;
    }
    ScanRegion get(const QUuid& id) const { return *model->region(id); }

    void mouse(QEvent::Type type, QPointF p, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = {},
               Qt::MouseButton button = Qt::NoButton)
    {
        QMouseEvent e(type, p, view->mapToGlobal(p), button, buttons, mods);
        QApplication::sendEvent(view, &e);
    }
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers mods = {})
    {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, mods, Qt::LeftButton);
        for (double t : {0.25, 0.5, 1.0}) mouse(QEvent::MouseMove, from + (to - from) * t, Qt::LeftButton, mods);
        mouse(QEvent::MouseButtonRelease, to, Qt::NoButton, mods, Qt::LeftButton);
    }
    void click(QPointF p)
    {
        mouse(QEvent::MouseButtonPress, p, Qt::LeftButton, {}, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, p, Qt::NoButton, {}, Qt::LeftButton);
    }
    void hover(QPointF p, Qt::KeyboardModifiers mods = {}) { mouse(QEvent::MouseMove, p, Qt::NoButton, mods); }
    bool wheel(QPointF p, QPoint angle, Qt::KeyboardModifiers mods = {})
    {
        QWheelEvent e(p, view->mapToGlobal(p), QPoint(), angle, Qt::NoButton, mods, Qt::NoScrollPhase, false);
        e.ignore();
        QApplication::sendEvent(view, &e);
        return e.isAccepted();
    }
    QAbstractButton* button(const QString& name) const
    {
        for (auto* b : view->zoomControls()->findChildren<QAbstractButton*>())
            if (b->accessibleName() == name) return b;
        return nullptr;
    }
    // Right-clicks at `p`; `inMenu` sees the menu while it is open (or none), then it closes.
    void contextMenu(QPointF p, const std::function<void(QMenu*)>& inMenu)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            seen = true;
            inMenu(menu);
            if (menu) menu->close();
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, p.toPoint(), view->mapToGlobal(p.toPoint()));
        QApplication::sendEvent(view, &e);
        if (!seen) inMenu(nullptr);  // no menu opened, so the timer has not run yet
        QCoreApplication::processEvents();
    }
};

}  // namespace

TEST_F(BedViewTest, ThePressDecidesWhatADragGrabs)
{
    // Expected: A afterwards (centre, size, angle), how many regions, which is selected (index, -1 none).
    struct Case { const char* name; Qt::KeyboardModifiers mods; bool selectA, linkPending; QPointF from, to; ScanRegion a; size_t count; int selected; };
    const ScanRegion a = makeRegion({2, 2}, {2, 2});
    const auto withA = [](QPointF c, QSizeF s, double angle) { return makeRegion(c, s, {}, {}, angle); };
    const Case cases[] = {
        {"the selected region's knob over another region rotates", {}, true, false, at(2, 0.4), at(6, 2), withA({2, 2}, {2, 2}, pi / 2), 3, 1},
        {"Alt inside the selected region draws a new one", Qt::AltModifier, true, false, at(2, 2), at(2.6, 2.6), a, 4, 3},
        {"inside an unselected region draws a new one", {}, false, false, at(2, 2), at(2.8, 2.6), a, 4, 3},
        {"the selected region moves", {}, true, false, at(2, 2), at(2.5, 3), withA({2.5, 3}, {2, 2}, 0), 3, 1},
        {"a corner of an unselected region selects and resizes it", {}, false, false, at(3, 3), at(3.5, 3.2), withA({2.25, 2.1}, {2.5, 2.2}, 0), 3, 1},
        {"while a link is pending nothing is dragged", {}, true, true, at(6, 6), at(7, 7), a, 3, 1},
        {"a drag of 5×5 points draws nothing", {}, false, false, at(6, 6), at(6, 6) + QPointF(5, 5), a, 3, -1},
        {"Shift turns the knob an eighth as far", Qt::ShiftModifier, true, false, at(2, 0.4), at(6, 2), withA({2, 2}, {2, 2}, pi / 16), 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model->setRegions({});
        model->setSelectedID(std::nullopt);
        const QUuid idC = add({7, 9}, {1, 1});  // out of the way, first in the list
        const QUuid idA = add(a.center, a.size);
        const QUuid idB = add({2, 0.5}, {3, 0.8});  // on top of A, under A's rotate knob
        if (c.selectA) model->selectRegion(idA);
        if (c.linkPending) model->startLink(idA, true);
        drag(c.from, c.to, c.mods);
        EXPECT_TRUE(near(get(idA), c.a));
        EXPECT_EQ(std::pair(get(idB).center, get(idC).center), std::pair(QPointF(2, 0.5), QPointF(7, 9))) << "the others stay";
        ASSERT_EQ(model->regions().size(), c.count);
        const auto sel = c.selected < 0 ? std::nullopt : std::optional(model->regions()[size_t(c.selected)].id);
        EXPECT_EQ(model->selectedID(), sel);
        model->cancelLink();
    }
    // The drawn region spans the drag, in inches.
    model->setRegions({});
    drag(at(1, 1), at(3, 2));
    ASSERT_EQ(model->regions().size(), 1u);
    EXPECT_EQ(model->regions()[0].center, QPointF(2, 1.5));
    EXPECT_EQ(model->regions()[0].size, QSizeF(2, 1));
    // A region deleted during its drag is not brought back by the rest of the drag.
    model->selectRegion(model->regions()[0].id);
    mouse(QEvent::MouseButtonPress, at(2, 1.5), Qt::LeftButton, {}, Qt::LeftButton);
    mouse(QEvent::MouseMove, at(1.5, 2.5), Qt::LeftButton);
    model->removeRegion(model->regions()[0].id);
    mouse(QEvent::MouseMove, at(2, 3), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at(2, 3), Qt::NoButton, {}, Qt::LeftButton);
    EXPECT_TRUE(model->regions().empty());
}

TEST_F(BedViewTest, ClicksSelectThroughTheStackAndFinishLinks)
{
    const QUuid bottom = add({2, 2}, {2, 2});
    const QUuid middle = add({2.2, 2.2}, {2, 2});
    const QUuid top = add({2.4, 2.4}, {2, 2});
    for (const QUuid& expected : {top, middle, bottom, top}) {
        click(at(2.3, 2.3));
        EXPECT_EQ(model->selectedID(), expected);
    }
    click(at(6, 8));
    EXPECT_EQ(model->selectedID(), std::nullopt);

    // While a link is pending a click on empty bed cancels it, a click on a region completes it.
    model->startLink(bottom, true);
    click(at(6, 8));
    EXPECT_FALSE(model->pendingLink());
    model->startLink(bottom, true);
    click(at(2.3, 2.3));
    EXPECT_FALSE(model->pendingLink());
    EXPECT_EQ(get(bottom).back, BackTarget::region(top));
}

TEST_F(BedViewTest, TheRegionMenuFlipsLinksAndDeletes)
{
    const QUuid a = add({2, 2}, {2, 2});
    QStringList texts;
    std::vector<bool> enabled;
    const auto read = [&](QMenu* menu) {
        texts.clear();
        enabled.clear();
        if (!menu) return;
        for (QAction* act : menu->actions()) {
            texts << (act->isSeparator() ? "|" : act->text());
            enabled.push_back(act->isEnabled());
            EXPECT_TRUE(act->isSeparator() || !act->icon().isNull()) << act->text().toStdString();
        }
    };
    contextMenu(at(2, 2), read);
    EXPECT_EQ(texts, QStringList({"Flip to back", "Link to front…", "Link to back…", "|", "Delete"}));
    EXPECT_EQ(enabled, (std::vector<bool>{true, false, false, true, true})) << "links need a second region";

    const QUuid b = add({5, 5}, {2, 2}, true);
    contextMenu(at(4, 5) - QPointF(8, 0), [&](QMenu* menu) {  // just outside b's left edge
        read(menu);
        if (menu) menu->actions()[0]->trigger();
    });
    EXPECT_EQ(texts.value(0), "Flip to front");
    EXPECT_EQ(enabled, (std::vector<bool>{true, true, true, true, true}));
    EXPECT_FALSE(get(b).isBack());
    EXPECT_EQ(model->selectedID(), b);

    contextMenu(at(2, 2), [&](QMenu* menu) { menu->actions()[1]->trigger(); });
    EXPECT_EQ(model->pendingLink(), (PendingLink{a, true}));
    contextMenu(at(2, 2), [&](QMenu* menu) { menu->actions()[4]->trigger(); });
    EXPECT_FALSE(model->region(a));

    contextMenu(at(7, 1), read);
    EXPECT_TRUE(texts.isEmpty()) << "no menu over empty bed";
}

TEST_F(BedViewTest, ScrollPinchAndTheZoomControls)
{
    EXPECT_FALSE(wheel(at(2, 3), QPoint(0, 120))) << "at zoom 1 a scroll passes on";
    EXPECT_EQ(view->zoom(), Bed::Zoom{});

    EXPECT_TRUE(wheel(at(2, 3), QPoint(0, 120), Qt::ControlModifier));
    EXPECT_NEAR(view->zoom().zoom, std::exp(0.08), 1e-12);
    EXPECT_TRUE(near(*view->mapping().toInch(at(2, 3)), QPointF(2, 3)));
    EXPECT_EQ(view->zoomControls()->readout(), "108%");

    const QSizeF pan = view->zoom().pan;
    EXPECT_TRUE(wheel(at(2, 3), QPoint(0, -15)));
    EXPECT_EQ(view->zoom().pan, pan + QSizeF(0, -1)) << "a notch of a wheel is eight points";
    EXPECT_TRUE(wheel(at(2, 3), QPoint(0, -240), Qt::ControlModifier));
    EXPECT_EQ(view->zoom(), Bed::Zoom{}) << "zoomed out, the picture is fitted again";
    EXPECT_EQ(view->zoomControls()->readout(), "FIT");

    const auto enabled = [&] {
        return std::array{button("Zoom out")->isEnabled(), button("Fit to view")->isEnabled(), button("Zoom in")->isEnabled()};
    };
    EXPECT_EQ(enabled(), (std::array{false, false, true}));
    QTest::mouseClick(button("Zoom in"), Qt::LeftButton);
    EXPECT_NEAR(view->zoom().zoom, 1.4, 1e-12);
    EXPECT_EQ(view->zoomControls()->readout(), "140%");
    EXPECT_EQ(enabled(), (std::array{true, true, true}));
    for (int i = 0; i < 8; ++i) QTest::mouseClick(button("Zoom in"), Qt::LeftButton);
    EXPECT_EQ(view->zoom().zoom, Bed::maxZoom);
    EXPECT_EQ(enabled(), (std::array{true, true, false}));
    QTest::mouseClick(button("Fit to view"), Qt::LeftButton);
    EXPECT_EQ(view->zoom(), Bed::Zoom{});

    for (const auto& [type, value] : {std::pair{Qt::ZoomNativeGesture, 0.5}, {Qt::SmartZoomNativeGesture, 0.0}}) {
        QNativeGestureEvent e(type, QPointingDevice::primaryPointingDevice(), 2, at(2, 3), at(2, 3), view->mapToGlobal(at(2, 3)), value, {}, 0);
        QApplication::sendEvent(view, &e);
        if (value) { EXPECT_EQ(view->zoom().zoom, 1.5) << "a pinch zooms by its value"; }
    }
    EXPECT_EQ(view->zoom(), Bed::Zoom{}) << "a smart-zoom tap fits";
}

TEST_F(BedViewTest, PairingFramesFollowRegionsZoomAndPan)
{
    const QUuid a = add({2, 2}, {2, 2});
    std::vector<PairFrames> reports;
    QObject::connect(view, &BedView::pairFramesChanged, [&](const PairFrames& f) { reports.push_back(f); });
    view->setPairingMode(true);
    view->setFrameReceiver(host.get());
    ASSERT_FALSE(reports.empty());
    const auto expectAt = [&](const char* when) {
        SCOPED_TRACE(when);
        ASSERT_FALSE(reports.empty());
        ASSERT_EQ(reports.back().size(), model->regions().size());
        const PairFrame& f = reports.back().front();
        EXPECT_EQ(f.id, a);
        const auto inHost = [&](QPointF inch) { return view->mapTo(host.get(), view->mapping().toView(inch)); };
        EXPECT_TRUE(near(f.center, inHost(get(a).center)));
        ASSERT_EQ(f.corners.size(), 4);
        EXPECT_TRUE(near(f.corners[0], inHost(get(a).corners()[0])));
        reports.clear();
    };
    expectAt("receiver set");
    add({6, 6}, {1, 1});
    expectAt("region added");
    wheel(at(6, 8), QPoint(0, 240), Qt::ControlModifier);
    expectAt("zoomed");
    wheel(at(6, 8), QPoint(-120, 120));
    expectAt("panned");
    view->setGeometry(0, 0, 300, 400);
    expectAt("laid out");
}

TEST_F(BedViewTest, NoScaleMeansGesturesStartNothing)
{
    const QUuid a = add({2, 2}, {2, 2});
    model->selectRegion(a);
    const std::vector<ScanRegion> before = model->regions();
    model->setInfo(std::nullopt);  // no bed size: the mapping has no scale (every other way is in the geometry's table)
    drag(at(2, 2), at(3, 3));
    drag(at(3, 3), at(5, 5));
    click(at(6, 6));
    wheel(at(2, 2), QPoint(0, 480), Qt::ControlModifier);
    QTest::mouseClick(button("Zoom in"), Qt::LeftButton);
    EXPECT_EQ(model->regions(), before);
    EXPECT_EQ(model->selectedID(), a);
    EXPECT_EQ(view->zoom(), Bed::Zoom{});
}

TEST_F(BedViewTest, TheCursorSaysWhatAPressWouldDo)
{
    const QUuid a = add({2, 2}, {2, 2});
    add({6, 6}, {1, 1});
    model->selectRegion(a);
    struct Case { const char* name; QPointF p; Qt::KeyboardModifiers mods; bool pending; std::optional<Qt::CursorShape> shape; } cases[] = {
        {"empty bed draws", at(4, 8), {}, false, Qt::BitmapCursor},
        {"inside the selected region", at(2, 2), {}, false, Qt::OpenHandCursor},
        {"Alt inside the selected region draws", at(2, 2), Qt::AltModifier, false, Qt::BitmapCursor},
        {"a corner", at(3, 3), {}, false, Qt::CrossCursor},
        {"an upright edge", at(1, 2), {}, false, Qt::SizeHorCursor},
        {"a level edge", at(6, 5.5), {}, false, Qt::SizeVerCursor},
        {"inside an unselected region draws", at(6, 6), {}, false, Qt::BitmapCursor},
        {"linking, over another region", at(6, 6), {}, true, Qt::PointingHandCursor},
        {"linking, over the source", at(2, 2), {}, true, Qt::CrossCursor},
        {"over the zoom controls", QPointF(view->zoomControls()->geometry().center()), {}, false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.pending) model->startLink(a, true);
        hover(c.p, c.mods);
        EXPECT_EQ(view->testAttribute(Qt::WA_SetCursor), c.shape.has_value());
        if (c.shape) { EXPECT_EQ(view->cursor().shape(), *c.shape); }
        model->cancelLink();
        model->selectRegion(a);
    }
    // The draw cursor is a 22-point cross centred on its hot spot, in the draw side's colour.
    for (const auto& [side, colour] : {std::pair{DrawSide::front, Theme::accent()}, {DrawSide::back, Theme::back()}}) {
        model->setDrawSide(side);
        hover(side == DrawSide::front ? at(4, 8) : at(4, 8.1));
        const QPixmap pm = view->cursor().pixmap();
        EXPECT_EQ(pm.deviceIndependentSize(), QSizeF(22, 22));
        EXPECT_EQ(view->cursor().hotSpot(), QPoint(11, 11));
        const QColor c = pm.toImage().pixelColor(QPoint(11, 11) * pm.devicePixelRatio());
        EXPECT_LT(std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) + std::abs(c.blue() - colour.blue()), 9);
    }
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    EXPECT_FALSE(view->testAttribute(Qt::WA_SetCursor));
}

TEST_F(BedViewTest, PaintsFillsHatchesDashesAndLabelPlates)
{
    const QUuid front = add({2, 2}, {2, 2});
    add({5.5, 6}, {3, 3}, true);
    model->selectRegion(front);
    view->setPlan({{front, "scan_0007"}});
    const QImage img = view->grab().toImage();
    if (qEnvironmentVariableIsSet("BIVARA_SAVE_GRABS")) img.save(qEnvironmentVariable("BIVARA_SAVE_GRABS") + "/bed-pixels.png");
    const auto px = [&](QPointF p) { return img.pixelColor(p.toPoint() * img.devicePixelRatio()); };

    // A selected front: the accent at 16 % over the grey picture.
    const QColor fill = px(at(2.6, 2.6));
    const QColor acc = Theme::accent();
    EXPECT_NEAR(fill.red(), 128 + (acc.red() - 128) * 0.16, 2);
    EXPECT_NEAR(fill.blue(), 128 + (acc.blue() - 128) * 0.16, 2);

    // A back: hatch lines across the inside, and a dashed outline along its bottom edge.
    const auto count = [&](int y, int x0, const std::function<bool(QColor)>& is) {
        int n = 0;
        for (int x = x0; x < 300; ++x) n += is(px(QPointF(x, y)));
        return std::pair{n, 300 - x0 - n};
    };
    const auto [plain, hatched] = count(320, 200, [](QColor c) { return c == QColor(128, 128, 128); });
    EXPECT_GT(hatched, 10);
    EXPECT_GT(plain, 30);
    const auto [dash, gap] = count(375, 220, [](QColor c) { return c.blue() - c.red() > 60; });
    EXPECT_GT(dash, 30);
    EXPECT_GT(gap, 10);

    // The front's label plate: black at 62 % over the picture, right of the dot and its text.
    const QRectF plate = BedDrawing::labelPlate(at(1, 1), "scan_0007", false);
    const QColor under = px(QPointF(plate.right() - 2.5, plate.center().y()));
    EXPECT_NEAR(under.red(), fill.red() * 0.38, 3) << "over the region's own fill";
}

TEST_F(BedViewTest, ThePlaceholderGuidesUntilThereIsABed)
{
    BedOrPlaceholder area(*model);
    EXPECT_TRUE(area.showsBed());
    struct Case { bool overview, scanner, busy; const char* text; } cases[] = {
        {false, true, false, "Press Preview for a fast overview scan"},
        {false, false, false, "Press Preview to wake the scanner"},
        {false, true, true, "Scanning preview…"},
        {false, false, true, "Waking the scanner…"},
        {true, false, false, "Press Preview to wake the scanner"},
    };
    const QImage overview = model->overview();
    const auto info = model->info();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        model->setOverview(c.overview ? overview : QImage());
        model->setInfo(c.scanner ? info : std::nullopt);
        model->setBusy(c.busy);
        EXPECT_FALSE(area.showsBed());
        EXPECT_EQ(area.placeholder()->text(), c.text);
        EXPECT_EQ(area.placeholder()->showsProgress(), c.busy);
    }
}
