// The image work of one scan at 600 dpi: the master of the whole bed (5100×7020) is saved
// and read back, each print is cut out of it turned and saved as JPEG, and the browser
// shows thumbnails of the results.
//
//   bench_image_util [--benchmark_repetitions=N ...]
//
// The master is held as the save phase holds it after reading the scanner's file: 24-bit
// RGB (Format_RGB888). BM_ExtractRotated/32 cuts the same print from a 32-bit copy, for
// comparison. BM_SaveJPEG also reports crop_over_encode: the time of BM_ExtractRotated on the
// 24-bit master over its own, which should stay below 0.3. BM_TurboJpegInMemory encodes the
// same crop with libjpeg-turbo's own API into memory, and reports save_over_turbo (which
// should stay below 1.2) and whether the two give the same bytes after the density.
// BM_MasterPNG/1 writes the master as the scanner engine does (row by row through
// PngRowWriter), /0 through savePNG (the same writer, from an image), and both read it back as
// the save phase does; save_cpu_ms is the processor time of every thread taking part.

#include "analysis/ImageUtil.h"
#include "analysis/JpegEncoder.h"
#include "platform/files/PngRowWriter.h"

#include <turbojpeg.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>

#include <time.h>

namespace {

constexpr int masterWidth = 5100, masterHeight = 7020;
const QSizeF printSize(3600, 2400);
const QPointF printCenter(2550, 3510);
constexpr double printAngle = 3 * std::numbers::pi / 180;

// Smoothly interpolated lattice noise in [-0.5, 0.5].
float lattice(int x, int y, int seed)
{
    std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u + std::uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return float((h ^ (h >> 16)) & 0xFFFF) / 65535.f - 0.5f;
}

float smoothNoise(float x, float y, int seed)
{
    const int xi = int(std::floor(x)), yi = int(std::floor(y));
    float fx = x - float(xi), fy = y - float(yi);
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    const float a = lattice(xi, yi, seed), b = lattice(xi + 1, yi, seed);
    const float c = lattice(xi, yi + 1, seed), d = lattice(xi + 1, yi + 1, seed);
    return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
}

// Stands in for a bed of photographs: detail at every scale, weaker the finer it is (as in
// photographs, whose spectrum falls off with frequency), over a gradient, plus ±4 levels of
// sensor noise per channel. The coarse octaves are made at a quarter of the size and scaled
// up, which keeps the setup to a second or two.
QImage makeMaster()
{
    const int w4 = masterWidth / 4, h4 = masterHeight / 4;
    QImage coarse(w4, h4, QImage::Format_RGB32);
    for (int y = 0; y < h4; ++y) {
        auto* line = reinterpret_cast<QRgb*>(coarse.scanLine(y));
        for (int x = 0; x < w4; ++x) {
            float v[3];
            for (int c = 0; c < 3; ++c) {
                float sum = 0, amplitude = 110, frequency = 1.f / 100;
                for (int octave = 0; octave < 5; ++octave, amplitude *= 0.55f, frequency *= 2)
                    sum += amplitude * smoothNoise(float(x) * frequency, float(y) * frequency, 10 * c + octave);
                v[c] = sum;
            }
            const float ramp = 60.f * float(x + y) / float(w4 + h4) - 30.f;
            line[x] = qRgb(std::clamp(int(128 + v[0] + ramp), 0, 255), std::clamp(int(128 + v[1] + 0.5f * v[0]), 0, 255),
                           std::clamp(int(128 + v[2] - ramp), 0, 255));
        }
    }
    QImage img = coarse.scaled(masterWidth, masterHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
    std::uint32_t state = 0x12345678u;
    for (int y = 0; y < masterHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < masterWidth; ++x) {
            const float fine = 24 * smoothNoise(float(x) / 12, float(y) / 12, 99) + 12 * smoothNoise(float(x) / 6, float(y) / 6, 98);
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const QRgb p = line[x];
            const int r = qRed(p) + int(fine) + int(state & 7) - 4;
            const int g = qGreen(p) + int(fine) + int((state >> 3) & 7) - 4;
            const int b = qBlue(p) + int(fine) + int((state >> 6) & 7) - 4;
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return img;
}

const QImage& master32()
{
    static const QImage image = makeMaster();
    return image;
}

const QImage& master()
{
    static const QImage image = master32().convertToFormat(QImage::Format_RGB888);
    return image;
}

const QImage& crop()
{
    static const QImage image = ImageUtil::extractRotated(master(), printCenter, printSize, printAngle);
    return image;
}

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

double cropSeconds = 0;  // per crop, from BM_ExtractRotated
double saveSeconds = 0;  // per save, from BM_SaveJPEG

template <class F>
double secondsOf(const F& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The processor time of the whole process (every thread) that f takes: on a busy machine
// the clock on the wall says more about the neighbours.
template <class F>
double processorSecondsOf(const F& f)
{
    timespec start{}, end{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    f();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
    return double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) * 1e-9;
}

void BM_ExtractRotated(benchmark::State& state)
{
    const bool wide = state.range(0) == 32;
    const QImage& source = wide ? master32() : master();
    double total = 0;
    for (auto _ : state) {
        total += secondsOf([&] {
            QImage out = ImageUtil::extractRotated(source, printCenter, printSize, printAngle);
            benchmark::DoNotOptimize(out.constBits());
        });
    }
    if (!wide) cropSeconds = total / double(state.iterations());
    state.counters["Mpx/s"] = benchmark::Counter(printSize.width() * printSize.height() / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ExtractRotated)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_SaveJPEG(benchmark::State& state)
{
    const QImage& image = crop();
    const QString path = scratch().filePath("print.jpg");
    double total = 0;
    for (auto _ : state) {
        total += secondsOf([&] {
            if (!ImageUtil::saveJPEG(image, path, ImageUtil::defaultJPEGQuality, 600)) state.SkipWithError("saveJPEG failed");
        });
    }
    const double encodeSeconds = total / double(state.iterations());
    saveSeconds = encodeSeconds;
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
    if (cropSeconds > 0) {
        state.counters["crop_over_encode"] = cropSeconds / encodeSeconds;
        std::fprintf(stderr, "crop %.1f ms / saveJPEG %.1f ms = %.3f\n", cropSeconds * 1e3, encodeSeconds * 1e3,
                     cropSeconds / encodeSeconds);
    }
}
BENCHMARK(BM_SaveJPEG)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_TurboJpegInMemory(benchmark::State& state)
{
    const QImage& image = crop();
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    double total = 0;
    for (auto _ : state) {
        // With libjpeg's accurate DCT, as saveJPEG uses (TurboJPEG's default is the fast one).
        total += secondsOf([&] {
            if (tjCompress2(handle, image.constBits(), image.width(), int(image.bytesPerLine()), image.height(),
                            TJPF_BGRX, &jpeg, &size, TJSAMP_420, qRound(ImageUtil::defaultJPEGQuality * 100), TJFLAG_ACCURATEDCT)
                != 0)
                state.SkipWithError("tjCompress2 failed");
        });
    }
    const double turboSeconds = total / double(state.iterations());
    state.counters["MB"] = double(size) / 1e6;
    // saveJPEG's encoder alone, into memory, after as many runs: what is left of the
    // difference is the write to disk.
    double ours = 0;
    for (int i = 0; i < int(state.iterations()); ++i)
        ours += secondsOf([&] {
            const QByteArray bytes = JpegEncoder::encode(image, qRound(ImageUtil::defaultJPEGQuality * 100), 600);
            benchmark::DoNotOptimize(bytes.constData());
        });
    state.counters["encoder_over_turbo"] = ours / double(state.iterations()) / turboSeconds;
    QFile saved(scratch().filePath("print.jpg"));
    if (saveSeconds > 0 && saved.open(QIODevice::ReadOnly)) {
        // The JFIF density (bytes 13 to 17) is the one thing told apart.
        const QByteArray file = saved.readAll();
        const QByteArray theirs(reinterpret_cast<const char*>(jpeg), qsizetype(size));
        const bool same = file.size() == theirs.size() && file.mid(18) == theirs.mid(18);
        state.counters["save_over_turbo"] = saveSeconds / turboSeconds;
        state.counters["same_bytes"] = same ? 1 : 0;
        std::fprintf(stderr, "saveJPEG %.1f ms / libjpeg-turbo in memory %.1f ms = %.2f, %s bytes\n", saveSeconds * 1e3,
                     turboSeconds * 1e3, saveSeconds / turboSeconds, same ? "same" : "different");
    }
    tjFree(jpeg);
    tjDestroy(handle);
}
BENCHMARK(BM_TurboJpegInMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_MasterPNG(benchmark::State& state)
{
    const bool rowWriter = state.range(0) == 1;
    const QImage& image = master();
    const QString path = scratch().filePath("master.png");
    double saving = 0, savingProcessor = 0, loading = 0;
    for (auto _ : state) {
        savingProcessor += processorSecondsOf([&] { saving += secondsOf([&] {
            bool ok;
            if (rowWriter) {
                PngRowWriter writer;
                ok = writer.open(path, image.width(), image.height(), 3, 8, 600);
                for (int y = 0; ok && y < image.height(); ++y) ok = writer.writeRow(image.constScanLine(y));
                ok = ok && writer.finish();
            } else {
                ok = ImageUtil::savePNG(image, path);
            }
            if (!ok) state.SkipWithError("writing the master failed");
        }); });
        loading += secondsOf([&] {
            const QImage back = ImageUtil::loadScan(path, image.size());
            if (back.size() != image.size()) state.SkipWithError("loadScan failed");
        });
    }
    const double n = double(state.iterations());
    state.counters["save_ms"] = saving / n * 1e3;
    state.counters["save_cpu_ms"] = savingProcessor / n * 1e3;
    state.counters["load_ms"] = loading / n * 1e3;
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
    state.counters["of_raw"] = double(QFileInfo(path).size()) / (3.0 * masterWidth * masterHeight);
}
BENCHMARK(BM_MasterPNG)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

void BM_Thumbnail(benchmark::State& state)
{
    const QString path = scratch().filePath("thumb-source.jpg");
    if (!QFile::exists(path)) ImageUtil::saveJPEG(crop(), path, ImageUtil::defaultJPEGQuality, 600);
    for (auto _ : state) {
        const QImage thumb = ImageUtil::thumbnail(path, 320);
        if (thumb.width() != 320) state.SkipWithError("thumbnail failed");
        benchmark::DoNotOptimize(thumb.constBits());
    }
}
BENCHMARK(BM_Thumbnail)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    master();  // built once, outside the timings
    master32();
    crop();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
