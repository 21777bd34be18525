// The SANE test backend scanning its whole bed (200 × 200 mm) at 600 dpi in colour:
//  - responsiveness: the largest lateness of a 5 ms timer on the main thread during the scan;
//  - file speed: scanRegion to a PNG file against `scanimage --format=png` of the same area
//    and resolution, in the same run.

#include "app/StallProbe.h"
#include "platform/sane/SaneBrowser.h"
#include "scanner/ICAScannerEngine.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "support/BenchMain.h"
#include "support/ReadyTask.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <exception>
#include <optional>

namespace {

// From the build: a compiler cache may turn __FILE__ into a relative path.
QString configDir() { return QString::fromUtf8(BIVARA_SANE_TEST_CONFIG); }

constexpr double bedInches = 200 / 25.4;
const QRectF wholeBed(0, 0, bedInches, bedInches);

template <class T>
T runUntilDone(QCoro::Task<T>&& task)
{
    while (!task.isReady()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return resultOfReady(task);
}

struct Engine {
    ICAScannerEngine engine{std::make_unique<SaneBrowser>()};
    Engine() { runUntilDone(engine.connect()); }
};

void mainThreadLatenessDuringScan(benchmark::State& state)
{
    Engine e;
    QTemporaryDir dir;
    double worst = 0;
    for (auto _ : state) {
        StallProbe probe;
        auto scan = e.engine.scanRegion(wholeBed, {600, ColorMode::color, 8}, dir.path(), "responsiveness");
        while (!scan.isReady()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        probe.stop();
        state.SetIterationTime(probe.elapsedSeconds());
        worst = std::max(worst, probe.worstMs());
    }
    state.counters["max_lateness_ms"] = worst;
}

// The same probe with nothing scanning, for the machine's own noise.
void mainThreadLatenessIdle(benchmark::State& state)
{
    double worst = 0;
    for (auto _ : state) {
        StallProbe probe;
        while (probe.elapsedMs() < 500) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.SetIterationTime(probe.elapsedSeconds());
        worst = std::max(worst, probe.worstMs());
    }
    state.counters["max_lateness_ms"] = worst;
}

void scanRegionToPng(benchmark::State& state)
{
    Engine e;
    QTemporaryDir dir;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const QString file = runUntilDone(e.engine.scanRegion(wholeBed, {600, ColorMode::color, 8}, dir.path(), "ours"));
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["file_MB"] = double(QFileInfo(file).size()) / 1e6;
    }
}

void scanimageToPng(benchmark::State& state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("SANE_CONFIG_DIR", configDir());
        p.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        p.start("scanimage", {"-d", "test:0", "--mode", "Color", "--depth", "8", "--resolution", "600", "-l", "0",
                              "-t", "0", "-x", "200", "-y", "200", "--format=png", "-o",
                              QDir(dir.path()).filePath("theirs.png")});
        if (!p.waitForFinished(120000) || p.exitCode() != 0) state.SkipWithError("scanimage failed");
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["file_MB"] = double(QFileInfo(QDir(dir.path()).filePath("theirs.png")).size()) / 1e6;
    }
}

}  // namespace

BENCHMARK(mainThreadLatenessDuringScan)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(mainThreadLatenessIdle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(scanRegionToPng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(scanimageToPng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    qputenv("SANE_CONFIG_DIR", configDir().toUtf8());
    return runBenchmarks<QCoreApplication>(argc, argv);
}
