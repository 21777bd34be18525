// The bed view's hot paths, on an offscreen window the size of the main window's bed: a paint
// of the bed as it stands, one after a zoom step (everything drawn anew), and one drag update
// from the mouse move to the repainted bed.
// 40 regions (half of them backs, one selected) on a 638×878 overview; for the drag, 1,000
// remembered fronts and 20,000 files in the output folder, as the plan is worked out anew.

#include "support/BenchMain.h"
#include "support/BusyProject.h"
#include "ui/BedView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

// Where the sidebar will sit: paints one line per region from the plan it is handed.
class SidebarStandIn : public QWidget {
public:
    AppModel::StemMap plan;
    AppModel* model = nullptr;
    int paints = 0;
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        QPainter p(this);
        p.fillRect(rect(), QColor(33, 33, 38));
        p.setPen(Qt::white);
        int y = 14;
        for (const ScanRegion& r : model->regions()) {
            p.drawText(10, y, plan.value(r.id, r.name));
            y += 16;
        }
    }
};

// The window's part in a drag: one plan per burst of model changes, handed to both panes.
struct Window : BusyProject {
    std::unique_ptr<QWidget> top;
    BedView* bed = nullptr;
    SidebarStandIn* sidebar = nullptr;
    bool planQueued = false;

    Window()
    {
        ScannerInfo info;
        info.name = "Bench";
        info.bedSizeInches = QSizeF(8.5, 11.7);
        model->setInfo(info);
        QImage overview(638, 878, QImage::Format_RGB888);
        QPainter p(&overview);
        p.fillRect(overview.rect(), QColor(214, 210, 200));
        for (int i = 0; i < 40; ++i)
            p.fillRect(QRect((i % 5) * 122 + 20, (i / 5) * 105 + 15, 100, 80), QColor::fromHsv(i * 9 % 360, 90, 150));
        p.end();
        model->setOverview(overview);

        // Slightly turned, as prints lie on the bed.
        auto regions = model->regions();
        for (size_t i = 0; i < regions.size(); ++i) regions[i].angle = (int(i) % 7 - 3) * 0.02;
        model->setRegions(regions);
        model->selectRegion(regions[12].id);

        // The main window's bed area at 1080×720: less the toolbar and the 300-point sidebar.
        top = std::make_unique<QWidget>();
        auto* row = new QHBoxLayout(top.get());
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        bed = new BedView(*model, top.get());
        sidebar = new SidebarStandIn;
        sidebar->model = model.get();
        sidebar->setFixedWidth(300);
        row->addWidget(bed);
        row->addWidget(sidebar);
        top->resize(1080, 674);
        top->show();
        QObject::connect(model.get(), &AppModel::changed, [this](AppModel::Property) {
            if (planQueued) return;
            planQueued = true;
            QMetaObject::invokeMethod(
                model.get(),
                [this] {
                    planQueued = false;
                    const auto plan = model->plannedStems();
                    bed->setPlan(plan);
                    sidebar->plan = plan;
                    sidebar->update();
                },
                Qt::QueuedConnection);
        });
        settle();
        QCoreApplication::processEvents();
    }

    void mouse(QEvent::Type type, QPointF p, Qt::MouseButtons buttons, Qt::MouseButton button = Qt::NoButton)
    {
        QMouseEvent e(type, p, bed->mapToGlobal(p), button, buttons, {});
        QApplication::sendEvent(bed, &e);
    }
};

Window& window()
{
    static Window w;
    return w;
}

void BM_BedPaint(benchmark::State& state)
{
    Window& w = window();
    for (auto _ : state) w.bed->repaint();
    state.counters["bed_w"] = w.bed->width();
    state.counters["bed_h"] = w.bed->height();
}
BENCHMARK(BM_BedPaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A paint in which everything is drawn anew: each Ctrl-scroll step zooms the bed (in, then
// back out), so the overview and every region move.
void BM_BedPaintAfterZoom(benchmark::State& state)
{
    Window& w = window();
    const QPointF at(w.bed->width() / 2.0, w.bed->height() / 2.0);
    int step = 0;
    for (auto _ : state) {
        const int notch = step++ % 2 ? -120 : 120;
        QWheelEvent wheel(at, w.bed->mapToGlobal(at), QPoint(), QPoint(0, notch), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.bed, &wheel);
        w.bed->repaint();
    }
}
BENCHMARK(BM_BedPaintAfterZoom)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// One mouse move of a drag: the region is written into the model, the plan is worked out
// once on the next turn of the event loop, and the bed and the sidebar repaint.
void BM_BedDragUpdate(benchmark::State& state)
{
    Window& w = window();
    const ScanRegion selected = *w.model->selectedRegion();
    const QPointF start = w.bed->mapping().toView(selected.center);
    w.mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    w.mouse(QEvent::MouseMove, start + QPointF(12, 0), Qt::LeftButton);
    QCoreApplication::processEvents();
    std::vector<double> times;
    int step = 0;
    for (auto _ : state) {
        const int paintsBefore = w.sidebar->paints;
        QElapsedTimer t;
        t.start();
        const QPointF p = start + QPointF(14 + step % 20, step % 7);  // never where the pointer was
        ++step;
        w.mouse(QEvent::MouseMove, p, Qt::LeftButton);
        // Until both panes have painted what the move changed.
        while (w.sidebar->paints == paintsBefore && t.elapsed() < 1000) QCoreApplication::processEvents();
        times.push_back(t.nsecsElapsed() / 1e6);
        if (w.sidebar->paints == paintsBefore) state.SkipWithError("the update did not reach the screen");
    }
    w.mouse(QEvent::MouseButtonRelease, start, Qt::NoButton, Qt::LeftButton);
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        state.counters["median_ms"] = times[times.size() / 2];
        state.counters["p99_ms"] = times[std::min(times.size() - 1, size_t(double(times.size()) * 0.99))];
    }
}
BENCHMARK(BM_BedDragUpdate)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
