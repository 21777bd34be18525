// The save phase of a scan: the master file (written as the scanner engine writes it: 24-bit
// rows through PngRowWriter) read, six 6×4-inch prints cut out and written as
// JPEGs, on a full 8.5×11.7-inch bed. Reports the wall time of the phase and the largest
// lateness of a 5-ms timer on the main thread meanwhile (how long the window froze).
//
//   bench_scan_save                  the benchmark at 600 dpi
//   bench_scan_save --memory [dpi]   one scan-and-save at `dpi` (default 1200), printing the
//                                    process's peak resident memory against the master's
//                                    24-bit size

#include "analysis/ImageUtil.h"
#include "core/AppModel.h"
#include "model/StateFiles.h"
#include "platform/files/PngRowWriter.h"
#include "support/PreparedEngine.h"

#include <QApplication>
#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

const QSizeF kBed(8.5, 11.7);

// Six prints of 6×4 inches, slightly turned, overlapping where the bed is too small for six.
std::vector<ScanRegion> sixPrints()
{
    std::vector<ScanRegion> regions;
    for (int i = 0; i < 6; ++i) {
        ScanRegion r;
        r.name = QString("Photo %1").arg(i + 1);
        r.center = QPointF(i % 2 ? 6.2 : 2.3, 2.1 + (i / 2) * 3.7);
        r.size = QSizeF(i % 2 ? 4 : 6, i % 2 ? 6 : 4);
        r.angle = 0.03 * (i - 2.5);
        regions.push_back(r);
    }
    return regions;
}

QImage paintedMaster(int dpi)
{
    QImage master(int(kBed.width() * dpi), int(kBed.height() * dpi), QImage::Format_RGB32);
    master.fill(QColor(236, 234, 228));
    QPainter p(&master);
    for (const ScanRegion& r : sixPrints()) {
        p.save();
        p.translate(r.center * dpi);
        p.rotate(r.angle * 180 / M_PI);
        QLinearGradient g(0, -r.size.height() * dpi / 2, r.size.width() * dpi / 2, r.size.height() * dpi / 2);
        g.setColorAt(0, QColor(40 + 30 * int(r.center.y()), 120, 200));
        g.setColorAt(1, QColor(220, 160, 60));
        p.fillRect(QRectF(-r.size.width() * dpi / 2, -r.size.height() * dpi / 2, r.size.width() * dpi,
                          r.size.height() * dpi),
                   g);
        p.restore();
    }
    p.end();
    // Some texture, so the encoders have real work.
    for (int y = 0; y < master.height(); y += 3) {
        auto* line = reinterpret_cast<QRgb*>(master.scanLine(y));
        for (int x = 0; x < master.width(); ++x) line[x] ^= (x * 7 + y * 13) & 0x0F0F0F;
    }
    return master;
}

// The master file as the scanner engine leaves it: RGB rows streamed through the PNG writer.
bool writeMaster(const QImage& painted, const QString& path, int dpi)
{
    const QImage rgb = painted.convertToFormat(QImage::Format_RGB888);
    PngRowWriter writer;
    bool ok = writer.open(path, rgb.width(), rgb.height(), 3, 8, dpi);
    for (int y = 0; ok && y < rgb.height(); ++y) ok = writer.writeRow(rgb.constScanLine(y));
    return ok && writer.finish();
}

struct Bench {
    QTemporaryDir root;
    PreparedEngine* engine = nullptr;
    std::unique_ptr<AppModel> model;

    // `master`: a prepared master file; painted here when not given.
    explicit Bench(int dpi, QString master = {})
    {
        auto prepared = std::make_unique<PreparedEngine>();
        engine = prepared.get();
        engine->info.name = "Bench";
        engine->info.bedSizeInches = kBed;
        engine->info.supportedResolutions = {75, 150, 300, 600, 1200};
        if (master.isEmpty()) {
            master = root.filePath("master-template.png");
            writeMaster(paintedMaster(dpi), master, dpi);
        }
        engine->masterTemplate = master;

        AppModelOptions options;
        options.preferences = std::make_shared<Preferences>(root.filePath("prefs.ini"));
        options.outputDir = root.filePath("out");
        model = std::make_unique<AppModel>(std::move(prepared), options);
        model->setInfo(engine->info);
        model->setDpi(dpi);
    }

    // One scan and save; returns the largest lateness of a 5-ms main-thread timer in ms.
    double scanOnce()
    {
        // Last time's files go; the folder's lock, which the model holds, stays.
        QDir out(model->outputDir());
        for (const QString& name : out.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
            if (name != StateFiles::lockName) out.remove(name);
        model->setRegions(sixPrints());
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 worst = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (last) worst = std::max(worst, now - last - 5'000'000);
            last = now;
        });
        probe.start(5);
        QCoro::waitFor(model->scanSelected());
        probe.stop();
        if (model->lastSaved().size() != 6) std::fprintf(stderr, "saved %zu files: %s\n", model->lastSaved().size(),
                                                         model->status().toUtf8().constData());
        return worst / 1e6;
    }
};

void BM_SavePhase600dpi(benchmark::State& state)
{
    static Bench bench(600);
    double worstStall = 0;
    for (auto _ : state) worstStall = std::max(worstStall, bench.scanOnce());
    state.counters["max_stall_ms"] = worstStall;
}
BENCHMARK(BM_SavePhase600dpi)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);

int measureMemory(const char* self, int dpi)
{
    // The master is painted by another process, so that painting it does not count here.
    QTemporaryDir scratch;
    const QString master = scratch.filePath("master.png");
    QProcess painter;
    painter.start(QString::fromLocal8Bit(self), {"--paint", QString::number(dpi), master});
    if (!painter.waitForFinished(-1) || painter.exitCode() != 0) return 1;
    Bench bench(dpi, master);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const double stall = bench.scanOnce();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double master24 = kBed.width() * dpi * kBed.height() * dpi * 3;
    std::printf("dpi %d: peak resident %.0f MB (before the scan %.0f MB); master at 24 bits %.0f MB; "
                "peak / master %.2f; max stall %.1f ms\n",
                dpi, after.ru_maxrss / 1024.0, before.ru_maxrss / 1024.0, master24 / 1048576.0,
                after.ru_maxrss * 1024.0 / master24, stall);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--memory") == 0)
        return measureMemory(argv[0], argc >= 3 ? std::atoi(argv[2]) : 1200);
    if (argc == 4 && std::strcmp(argv[1], "--paint") == 0)
        return writeMaster(paintedMaster(std::atoi(argv[2])), QString::fromLocal8Bit(argv[3]), std::atoi(argv[2])) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
