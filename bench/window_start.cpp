// From starting bivara-scanner to its first painted window, as a user starts it: the real
// program over the system's scanners (SANE as configured, and the virtual flatbed), with the
// scanner search still running. Uses the display it is given (run it under xvfb-run), else
// Qt's offscreen platform.

#include "support/BenchMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

void BM_StartToFirstPaint(benchmark::State& state)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.insert("BIVARA_VIRTUAL_SCANNER", "1");
    env.insert("BIVARA_REPORT_FIRST_PAINT", "1");
    if (!env.contains("DISPLAY") && !env.contains("WAYLAND_DISPLAY")) env.insert("QT_QPA_PLATFORM", "offscreen");

    std::vector<double> ms;
    int searching = 0;
    for (auto _ : state) {
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        p.start(BIVARA_SCANNER, {});
        QByteArray out;
        while (!out.contains('\n') && p.waitForReadyRead(10000)) out += p.readAllStandardOutput();
        const double elapsed = clock.nsecsElapsed() / 1e6;
        p.waitForFinished(10000);
        if (!out.startsWith("first paint")) {
            state.SkipWithError("no first paint reported");
            break;
        }
        searching += out.contains("searching");
        ms.push_back(elapsed);
        state.SetIterationTime(elapsed / 1000);
    }
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["still_searching"] = double(searching) / ms.size();
}
BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
