// plannedStems() as the window asks for it on every redraw: 40 regions on the bed (fronts and
// automatic backs), 1,000 remembered fronts, 20,000 files in the output folder.

#include "core/AppModel.h"
#include "support/FortyRegions.h"
#include "support/PreparedEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct Project {
    QTemporaryDir root;
    std::unique_ptr<AppModel> model;

    Project()
    {
        const QString out = root.filePath("out");
        QDir().mkpath(out);
        for (int i = 1; i <= 20000; ++i) {
            const QString name = i % 4 == 0 ? QString("scan_%1_b.jpg").arg(i, 4, 10, QChar('0'))
                                            : QString("scan_%1.jpg").arg(i, 4, 10, QChar('0'));
            QFile(QDir(out).filePath(name)).open(QIODevice::WriteOnly);
        }
        AppModelOptions options;
        options.preferences = std::make_shared<Preferences>(root.filePath("prefs.ini"));
        options.outputDir = out;
        model = std::make_unique<AppModel>(std::make_unique<PreparedEngine>(), options);

        std::vector<ScanRecord> history;
        for (int i = 0; i < 1000; ++i) {
            ScanRecord r;
            r.base = QString("scan_%1").arg(19000 + i, 4, 10, QChar('0'));
            r.center = QPointF((i % 3) * 2.8 + 1.4, (i / 3 % 4) * 2.9 + 1.5);
            r.size = QSizeF(2.5, 2.5);
            r.session = i / 12;
            history.push_back(r);
        }
        model->setHistory(history);

        model->setRegions(fortyRegions());
    }

    // The folder as it is between scans: last changed a while ago.
    void settle() const
    {
        const timespec past[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
        utimensat(AT_FDCWD, QFile::encodeName(model->outputDir()).constData(), past, 0);
    }
};

Project& project()
{
    static Project p;
    return p;
}

void BM_PlannedStems(benchmark::State& state)
{
    Project& p = project();
    p.settle();
    for (auto _ : state) benchmark::DoNotOptimize(p.model->plannedStems());
}
BENCHMARK(BM_PlannedStems)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Right after a scan wrote into the folder, every call lists it again until it settles.
void BM_PlannedStemsRightAfterAWrite(benchmark::State& state)
{
    Project& p = project();
    for (auto _ : state) {
        state.PauseTiming();
        QFile(QDir(p.model->outputDir()).filePath("scan_0004_b.jpg")).open(QIODevice::WriteOnly);
        utimensat(AT_FDCWD, QFile::encodeName(p.model->outputDir()).constData(), nullptr, 0);
        state.ResumeTiming();
        benchmark::DoNotOptimize(p.model->plannedStems());
    }
}
BENCHMARK(BM_PlannedStemsRightAfterAWrite)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
