// Frames drawn from kept layers look as if drawn whole, and a layer is redrawn only when
// something in it changed.

#include "ui/BedLayers.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace BedDrawing;

namespace {

RegionItem item(double x, double y, QColor color, bool back, bool selected, QString label)
{
    RegionItem r;
    r.corners = {QPointF(x, y), QPointF(x + 90, y + 8), QPointF(x + 82, y + 78), QPointF(x - 8, y + 70)};
    r.look = {color, back, selected, std::move(label)};
    return r;
}

// Five overlapping regions, the selected one in the middle of the list, with its handles.
Frame frame()
{
    Frame f;
    f.size = QSize(320, 240);
    f.picture = QImage(64, 48, QImage::Format_RGB32);
    f.picture.fill(QColor(200, 190, 170));
    f.fit = QRectF(20, 10, 280, 210);
    for (int i = 0; i < 5; ++i)
        f.regions.push_back(item(30 + i * 45, 40 + i * 20, QColor::fromHsv(i * 70, 200, 230), i % 2, i == 2,
                                 QStringLiteral("scan_%1").arg(i)));
    f.handles = {Bed::HandlePoints{}, QColor(Qt::yellow)};
    f.handles->first.knob = QPointF(150, 60);
    f.cord = Frame::Cord{QPointF(40, 200), QPointF(250, 30), QColor(Qt::cyan)};
    return f;
}

QImage drawnWhole(const Frame& f)
{
    QImage image(f.size, QImage::Format_RGB32);
    QPainter p(&image);
    drawBase(p, f);
    p.setRenderHint(QPainter::Antialiasing);
    for (const RegionItem& r : f.regions) drawRegion(p, r.corners, r.look);
    drawOverlays(p, f);
    return image;
}

int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

}  // namespace

TEST(BedLayers, FramesLookDrawnWholeAndOnlyChangedLayersAreRedrawn)
{
    struct Step { const char* change; void (*apply)(Frame&); int redrawn; /* layers drawn anew for this frame */ };
    const Step steps[] = {
        {"first frame", [](Frame&) {}, 2},
        {"nothing changed", [](Frame&) {}, 0},
        {"the selected region dragged", [](Frame& f) { for (QPointF& c : f.regions[2].corners) c += QPointF(7, -4); }, 0},
        {"the cord follows the pointer", [](Frame& f) { f.cord->to = QPointF(60, 60); }, 0},
        {"a region below relabelled", [](Frame& f) { f.regions[0].look.label = "renamed"; }, 1},
        {"a region above turned into a back", [](Frame& f) { f.regions[4].look.back = true; }, 1},
        {"another region selected", [](Frame& f) { f.regions[2].look.selected = false, f.regions[4].look.selected = true; }, 1},
        {"nothing selected", [](Frame& f) { f.regions[4].look.selected = false; }, 1},
        {"the overview replaced", [](Frame& f) { f.picture = f.picture.copy(); }, 1},
        {"resized", [](Frame& f) { f.size = QSize(300, 260); }, 1},
    };
    BedLayers layers;
    Frame f = frame();
    QImage target;
    for (const Step& step : steps) {
        step.apply(f);
        const int before = layers.layersDrawn();
        layers.render(f, target);
        EXPECT_EQ(layers.layersDrawn() - before, step.redrawn) << step.change;
        ASSERT_EQ(target.size(), f.size) << step.change;
        EXPECT_LE(largestDifference(target, drawnWhole(f)), 2) << step.change;
    }
}
