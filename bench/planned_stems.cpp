// plannedStems() as the window asks for it on every redraw: 40 regions on the bed (fronts and
// automatic backs), 1,000 remembered fronts, 20,000 files in the output folder.

#include "support/BenchMain.h"
#include "support/BusyProject.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

using Project = BusyProject;

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

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
