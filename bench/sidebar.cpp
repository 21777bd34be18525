// The sidebar on the main thread:
//  - a drag's refresh: one region of 40 moved and turned, the model publishes the regions and
//    the window hands over the plan; the sidebar updates its rows, lays out and paints;
//  - 24 history thumbnails of 600-dpi JPEGs (6×4 in) appearing after the history changes:
//    the time until the last is shown, and the longest stall of a 5-ms timer meanwhile.

#include "analysis/ImageUtil.h"
#include "app/StallProbe.h"
#include "core/AppModel.h"
#include "support/BenchMain.h"
#include "support/FortyRegions.h"
#include "support/PreparedEngine.h"
#include "ui/RegionsBlock.h"
#include "ui/SavedFilesArea.h"
#include "ui/SavedThumbnail.h"
#include "ui/Sidebar.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct Project {
    QTemporaryDir root;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<Sidebar> sidebar;

    Project()
    {
        AppModelOptions options;
        options.preferences = std::make_shared<Preferences>(root.filePath("prefs.ini"));
        options.outputDir = root.filePath("out");
        model = std::make_unique<AppModel>(std::make_unique<PreparedEngine>(), options);
        model->setOverview(QImage(640, 880, QImage::Format_RGB32));
        sidebar = std::make_unique<Sidebar>(*model);
        sidebar->resize(Sidebar::columnWidth, 900);
        sidebar->show();
    }
};

void BM_DragRefresh(benchmark::State& state)
{
    Project p;
    std::vector<ScanRegion> regions = fortyRegions();
    p.model->setRegions(regions);
    const AppModel::StemMap plan = p.model->plannedStems();
    p.sidebar->setPlan(plan);
    QApplication::processEvents();

    int step = 0;
    for (auto _ : state) {
        ScanRegion& dragged = regions[17];
        dragged.center += QPointF(0.01, step % 2 ? -0.01 : 0.01);
        dragged.angle = 0.002 * (step++ % 50);
        p.model->setRegions(regions);
        p.sidebar->setPlan(plan);
        QApplication::processEvents();  // layout and paint
    }
}
BENCHMARK(BM_DragRefresh)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_HistoryThumbnails(benchmark::State& state)
{
    Project p;
    std::vector<ScanRecord> history;
    for (int i = 0; i < 24; ++i) {  // 3600 × 2400 pixels each
        QImage photo(3600, 2400, QImage::Format_RGB32);
        QPainter painter(&photo);
        QLinearGradient shade(0, 0, 3600, 2400);
        shade.setColorAt(0, QColor::fromHsv(i * 15, 180, 200));
        shade.setColorAt(1, QColor::fromHsv((i * 15 + 120) % 360, 120, 90));
        painter.fillRect(photo.rect(), shade);
        for (int k = 0; k < 40; ++k)
            painter.fillRect(QRect((k * 397 + i * 31) % 3400, (k * 211) % 2200, 200, 180), QColor::fromHsv((k * 9) % 360, 200, 230));
        painter.end();
        ScanRecord r;
        r.base = QString("scan_%1").arg(i + 1, 4, 10, QChar('0'));
        r.date = i;
        if (!ImageUtil::saveJPEG(photo, QDir(p.model->outputDir()).filePath(r.base + ".jpg"), 0.92, 600))
            state.SkipWithError("could not write the photos");
        history.push_back(r);
    }

    double worst = 0;
    for (auto _ : state) {
        p.model->setHistory({});
        QApplication::processEvents();
        StallProbe probe;
        p.model->setHistory(history);
        auto allShown = [&] {
            const auto thumbnails = p.sidebar->regionsBlock()->savedFiles()->thumbnails();
            return thumbnails.size() == 24 &&
                   std::all_of(thumbnails.begin(), thumbnails.end(), [](SavedThumbnail* t) { return t->loaded() && !t->image().isNull(); });
        };
        QEventLoop wait;  // sleeps between events, as the application's own loop does
        for (SavedThumbnail* t : p.sidebar->regionsBlock()->savedFiles()->thumbnails())
            QObject::connect(t, &SavedThumbnail::finishedLoading, &wait, [&] {
                if (allShown()) wait.quit();
            });
        QTimer::singleShot(20000, &wait, &QEventLoop::quit);
        if (!allShown()) wait.exec();
        QApplication::processEvents();  // the last paint
        probe.stop();
        state.SetIterationTime(probe.elapsedSeconds());
        worst = std::max(worst, probe.worstMs());
    }
    state.counters["max_lateness_ms"] = worst;
}
BENCHMARK(BM_HistoryThumbnails)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
