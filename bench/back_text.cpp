// Note detection on a painted 75-dpi overview of four backs, each with a handwritten note: one
// upright, one of two lines, one sideways, one upside down. All four orientations are read.
//
// The recognizer's one-time start-up (loading the English model for the first instance, then
// the instances the parallel readings need) is timed once before the benchmarks and printed;
// the benchmarks run on the started, cached recognizers. Wall time is what the user waits;
// the process CPU time shows how much of both cores a call takes.

#include "analysis/BackTextDetect.h"
#include "tests/support/BedPainter.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr QSizeF bed(8.5, 11.7);

BedPainter::Print back(QPointF center, QSizeF size, double degrees)
{
    BedPainter::Print p =
        BedPainter::print(center, size, BedPainter::radians(degrees), QColor(240, 236, 222), QColor(234, 229, 212));
    p.busy = false;
    return p;
}

QImage fourNotes()
{
    BedPainter::Scene scene;
    scene.prints = {back({2.3, 2.2}, {4.0, 3.0}, 1.0), back({6.4, 2.2}, {3.5, 3.0}, -1.5),
                    back({2.3, 7.0}, {4.0, 6.0}, 0.5), back({6.4, 8.0}, {3.5, 5.0}, -0.8)};
    QImage image = BedPainter::paint(scene);
    const int id = QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/fifthhorseman/dkg.ttf"));
    QFont font(QFontDatabase::applicationFontFamilies(id).value(0));
    font.setPixelSize(20);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font);
    p.setPen(QColor(30, 40, 120));
    const double s = image.width() / bed.width();
    auto write = [&](const QString& text, QPointF inches, double degrees) {
        p.resetTransform();
        p.translate(inches * s);
        p.rotate(degrees);
        p.drawText(0, 0, text);
    };
    write(QStringLiteral("June 1987"), {1.0, 1.8}, 0);
    write(QStringLiteral("Grandma & Tom"), {5.0, 1.6}, 0);
    write(QStringLiteral("Lake Erie"), {5.0, 1.95}, 0);
    write(QStringLiteral("Christmas 1974"), {1.4, 5.0}, 90);
    write(QStringLiteral("Peter and Anna"), {7.6, 9.0}, 180);
    return image;
}

const QImage& overview()
{
    static const QImage image = fourNotes();
    return image;
}

void BM_DetectBackTextFourNotes75dpi(benchmark::State& state)
{
    size_t notes = 0;
    for (auto _ : state) {
        const std::vector<ScanRegion> regions = AutoDetect::detectBackText(overview(), bed);
        notes = regions.size();
        benchmark::DoNotOptimize(regions.data());
    }
    state.counters["regions"] = double(notes);
}

}  // namespace

BENCHMARK(BM_DetectBackTextFourNotes75dpi)->Unit(benchmark::kMillisecond)->MinTime(5.0)->UseRealTime()->MeasureProcessCPUTime();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    QElapsedTimer timer;
    timer.start();
    const bool available = Vision::textRecognizerAvailable();
    const double firstStart = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    const size_t found = AutoDetect::detectBackText(overview(), bed).size();
    const double firstCall = double(timer.nsecsElapsed()) / 1e6;
    std::fprintf(stderr, "recognizer start-up: %.0f ms (first instance); first detectBackText %.0f ms, %zu regions%s\n",
                 firstStart, firstCall, found, available ? "" : " (recognizer unavailable)");

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
