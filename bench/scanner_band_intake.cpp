// From the arrival of an overview's last band on the main thread to onImage: the engine's
// band intake and image making for a 75-dpi overview of a letter-size bed (8.5 × 11.7 in,
// 638 × 878 RGB pixels, in 512 KiB bands as the engine asks for them).

#include "platform/capture/DeviceBrowser.h"
#include "scanner/ICAScannerEngine.h"

#include <QCoreApplication>
#include <QCoroTask>

#include "support/BenchMain.h"
#include "support/ReadyTask.h"
#include "tests/support/IdleDevice.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <exception>
#include <optional>

namespace {

class BenchBrowser final : public DeviceBrowser {
public:
    void start() override {}
    void stop() override {}
};

std::vector<BandData> overviewBands(int width, int height, int maxBand)
{
    const int bpl = width * 3;
    const int rows = maxBand / bpl;
    std::vector<BandData> bands;
    for (int start = 0; start < height; start += rows) {
        BandData b;
        b.fullImageWidth = width;
        b.fullImageHeight = height;
        b.bytesPerRow = bpl;
        b.bitsPerPixel = 24;
        b.numComponents = 3;
        b.dataStartRow = start;
        b.dataNumRows = std::min(rows, height - start);
        b.hasData = true;
        b.dataBuffer = QByteArray(qsizetype(b.dataNumRows) * bpl, char(start % 200));
        bands.push_back(b);
    }
    return bands;
}

void lastBandToOnImage(benchmark::State& state)
{
    auto* browser = new BenchBrowser;
    ICAScannerEngine engine{std::unique_ptr<DeviceBrowser>(browser)};
    auto device = std::make_shared<IdleDevice>("bench", "Bench");
    device->unit.physicalSize = QSizeF(8.5, 11.7);
    device->unit.supportedResolutions = {75, 150, 300};
    browser->delegate()->didAddDevice(*browser, device, false);
    ScannerDeviceDelegate* delegate = device->delegate();
    delegate->didOpenSession(*device, std::nullopt);
    auto connect = engine.connect();
    if (!connect.isReady()) state.SkipWithError("connect did not finish at once");
    resultOfReady(connect);

    const auto bands = overviewBands(638, 878, ICAScannerEngine::overviewBandSize);
    for (auto _ : state) {
        bool got = false;
        std::chrono::steady_clock::time_point imageAt;
        auto overview = engine.captureOverview([&](const QImage& image) {
            imageAt = std::chrono::steady_clock::now();
            got = !image.isNull();
        });
        for (size_t i = 0; i + 1 < bands.size(); ++i) delegate->didScanToBandData(*device, bands[i]);
        const auto before = std::chrono::steady_clock::now();
        delegate->didScanToBandData(*device, bands.back());
        if (!got) state.SkipWithError("onImage was not called");
        state.SetIterationTime(std::chrono::duration<double>(imageAt - before).count());
        delegate->didCompleteScan(*device, std::nullopt);
    }
    state.counters["bands"] = double(bands.size());
}

}  // namespace

BENCHMARK(lastBandToOnImage)->UseManualTime()->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
