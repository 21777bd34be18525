// Photo detection on painted overviews: a 75-dpi bed with six prints, the same bed at 300 dpi
// (scaled down to the 1400-pixel working bitmap inside the call), and the peak memory one
// call takes on top of its input; the full detector, then the flood-and-fit core alone.
//
// Memory is counted by this program's own malloc family, which forwards to glibc's and keeps
// the bytes in use (malloc_usable_size) and their high-water mark; operator new, QImage and
// OpenCV all allocate through it. Peak extra = high-water mark during the call − bytes in use
// before it, reported per pixel of the working bitmap.

#include "analysis/AutoDetect.h"
#include "tests/support/BedPainter.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {

std::atomic<long long> inUse{0};
std::atomic<long long> highWater{0};

void* counted(void* p)
{
    if (p) {
        const long long now = inUse.fetch_add((long long)malloc_usable_size(p)) + (long long)malloc_usable_size(p);
        long long seen = highWater.load();
        while (now > seen && !highWater.compare_exchange_weak(seen, now)) {
        }
    }
    return p;
}

void uncount(void* p)
{
    if (p) inUse.fetch_sub((long long)malloc_usable_size(p));
}

}  // namespace

extern "C" {
void* malloc(size_t n) { return counted(__libc_malloc(n)); }
void* calloc(size_t n, size_t s) { return counted(__libc_calloc(n, s)); }
void free(void* p)
{
    uncount(p);
    __libc_free(p);
}
void* realloc(void* p, size_t n)
{
    uncount(p);
    return counted(__libc_realloc(p, n));
}
void* memalign(size_t a, size_t n) { return counted(__libc_memalign(a, n)); }
void* aligned_alloc(size_t a, size_t n) { return counted(__libc_memalign(a, n)); }
int posix_memalign(void** out, size_t a, size_t n)
{
    void* p = __libc_memalign(a, n);
    if (!p) return ENOMEM;
    *out = counted(p);
    return 0;
}
}

namespace {

const QImage& overview75()
{
    static const QImage image = BedPainter::paint(BedPainter::sixPrints());
    return image;
}

const QImage& overview300()
{
    static const QImage image = [] {
        BedPainter::Scene scene = BedPainter::sixPrints();
        scene.dpi = 300;
        return BedPainter::paint(scene);
    }();
    return image;
}

const QImage& overview(double dpi) { return dpi > 100 ? overview300() : overview75(); }

using Detector = std::vector<ScanRegion> (*)(const QImage&, QSizeF);

void run(benchmark::State& state, double dpi, Detector detect = &AutoDetect::detect)
{
    const QImage& image = overview(dpi);
    const QSizeF bed = BedPainter::sixPrints().bed;
    size_t found = 0;
    for (auto _ : state) {
        const auto regions = detect(image, bed);
        found = regions.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["regions"] = double(found);

    // One more call, measured for memory.
    const double s = std::min(1400.0 / std::max(image.width(), image.height()), 1.0);
    const double workingPixels = std::max(1.0, std::round(s * image.width())) * std::max(1.0, std::round(s * image.height()));
    const long long before = inUse.load();
    highWater.store(before);
    {
        const auto regions = detect(image, bed);
        benchmark::DoNotOptimize(regions.size());
    }
    const double extra = double(highWater.load() - before);
    state.counters["peak_MB"] = extra / 1e6;
    state.counters["peak_B_per_px"] = extra / workingPixels;
}

void BM_DetectSixPrints75dpi(benchmark::State& state) { run(state, 75); }
void BM_DetectSixPrints300dpi(benchmark::State& state) { run(state, 300); }
// The flood-and-fit core alone, for the cost of the stages the full detector adds.
void BM_DetectCoreSixPrints75dpi(benchmark::State& state) { run(state, 75, &AutoDetect::detectCore); }
void BM_DetectCoreSixPrints300dpi(benchmark::State& state) { run(state, 300, &AutoDetect::detectCore); }

}  // namespace

BENCHMARK(BM_DetectSixPrints75dpi)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DetectSixPrints300dpi)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_DetectCoreSixPrints75dpi)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DetectCoreSixPrints300dpi)->Unit(benchmark::kMillisecond)->MinTime(3.0);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
