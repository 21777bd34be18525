// A burst of 50 model changes in one turn of the event loop (a region dragged across the bed,
// a change per pointer move) reaching the whole window: the toolbar, the panes and the plan,
// which is computed once for the burst. 40 regions, 200 remembered fronts, 2,000 files.

#include "app/MainWindow.h"
#include "app/PlanScheduler.h"
#include "support/BenchMain.h"
#include "support/PreparedEngine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void BM_BurstOf50Changes(benchmark::State& state)
{
    QTemporaryDir root;
    const QString out = root.filePath("out");
    QDir().mkpath(out);
    for (int i = 1; i <= 2000; ++i) QFile(QDir(out).filePath(QString("scan_%1.jpg").arg(i, 4, 10, QChar('0')))).open(QIODevice::WriteOnly);
    AppModelOptions options;
    options.preferences = std::make_shared<Preferences>(root.filePath("prefs.ini"));
    options.outputDir = out;
    MainWindow window(std::make_unique<AppModel>(std::make_unique<PreparedEngine>(), options));
    AppModel& model = window.model();

    std::vector<ScanRecord> history;
    for (int i = 0; i < 200; ++i) {
        ScanRecord r;
        r.base = QString("scan_%1").arg(1800 + i, 4, 10, QChar('0'));
        r.center = QPointF((i % 4) * 2.2 + 1.2, (i / 4 % 5) * 2.3 + 1.2);
        r.size = QSizeF(2, 1.6);
        r.session = i / 20;
        history.push_back(r);
    }
    model.setHistory(history);
    for (int i = 0; i < 40; ++i) {
        model.setDrawSide(i % 2 ? DrawSide::back : DrawSide::front);
        model.addRegion(QRectF((i % 5) * 1.7 + 0.2, (i / 5) * 1.4 + 0.2, 1.5, 1.2));
    }
    QCoreApplication::processEvents();

    const PlanScheduler& plan = *window.content()->planScheduler();
    const int before = plan.computations();
    int bursts = 0;
    for (auto _ : state) {
        std::vector<ScanRegion> regions = model.regions();
        for (int step = 0; step < 50; ++step) {
            regions.front().center += QPointF(0.01, 0.005);
            model.setRegions(regions);
        }
        QCoreApplication::processEvents();
        ++bursts;
    }
    state.counters["plans_per_burst"] = double(plan.computations() - before) / bursts;
}
BENCHMARK(BM_BurstOf50Changes)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
