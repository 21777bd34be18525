// The scanning side of the engine against a scripted device: the overview from bands, its
// file fallback, region scans and their settings, completion rules, and scans that lose
// their scanner.

#include "EngineHarness.h"

#include "analysis/ImageUtil.h"
#include "platform/files/ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

struct Connected : EngineHarness {
    std::shared_ptr<ScriptedDevice> device;
    Connected()
    {
        device = announce("usb:1", "Alpha");
        EXPECT_FALSE(failureOf(engine.connect()));
    }
};

// Sends an image as bands of `rows` rows, in order, then nothing else.
void sendBands(ScriptedDevice& d, int width, int height, int rows)
{
    for (int start = 0; start < height; start += rows) d.sendBand(rgbBand(width, height, start, std::min(rows, height - start)));
}

// A plain picture saved at `path`, which is returned.
QString pngFile(const QString& path, int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB888);
    picture.fill(Qt::red);
    EXPECT_TRUE(ImageUtil::savePNG(picture, path));
    return path;
}

FunctionalUnit unitWith(std::vector<int> resolutions, std::vector<int> depths = {})
{
    FunctionalUnit u;
    u.supportedResolutions = std::move(resolutions);
    u.supportedBitDepths = std::move(depths);
    return u;
}

}  // namespace

TEST(EngineUnit, closestResolutionTiesGoLowerAndPixelFormatsFollowTheUnit)
{
    EXPECT_EQ(ICAScannerEngine::supportedResolution(300, unitWith({200, 400})), 200);
    EXPECT_EQ(ICAScannerEngine::supportedResolution(350, unitWith({200, 400})), 400);
    EXPECT_EQ(ICAScannerEngine::supportedResolution(123, unitWith({})), 123);
    EXPECT_EQ(ICAScannerEngine::supportedResolution(300, unitWith({150, 300, 600})), 300);
    EXPECT_EQ(ICAScannerEngine::supportedResolution(50, unitWith({75, 150})), 75);
    EXPECT_EQ(ICAScannerEngine::supportedResolution(9600, unitWith({75, 4800})), 4800);

    using PF = ICAScannerEngine::PixelFormat;
    const auto all = unitWith({}, {1, 8, 16}), eight = unitWith({}, {8});
    EXPECT_EQ(ICAScannerEngine::pixelFormat({300, ColorMode::color, 16}, all), (PF{2, 16}));
    EXPECT_EQ(ICAScannerEngine::pixelFormat({300, ColorMode::color, 12}, all), (PF{2, 8}));
    EXPECT_EQ(ICAScannerEngine::pixelFormat({300, ColorMode::gray, 16}, all), (PF{1, 16}));
    EXPECT_EQ(ICAScannerEngine::pixelFormat({300, ColorMode::blackWhite, 16}, all), (PF{0, 1}));
    EXPECT_EQ(ICAScannerEngine::pixelFormat({300, ColorMode::blackWhite, 8}, eight), (PF{1, 8}));
    EXPECT_EQ(ICAScannerEngine::pixelFormat({300, ColorMode::color, 16}, eight), (PF{2, 8}));
    EXPECT_EQ(ICAScannerEngine::pixelFormat({300, ColorMode::color, 16}, unitWith({}, {})), (PF{2, 16}));
}

TEST(EngineOverview, askedOfTheWholeBedAt75DpiInMemoryAndLateBandsChangeNothing)
{
    Connected h;
    h.device->onScan = [](ScriptedDevice& d) { sendBands(d, 20, 30, 7); };
    int calls = 0;
    auto overview = h.engine.captureOverview([&](const QImage&) { ++calls; });
    ASSERT_TRUE(spinUntil([&] { return calls == 1; }));
    EXPECT_EQ(h.device->lastTransferMode, TransferMode::memory);
    EXPECT_EQ(h.device->maxMemoryBandSize, 0x80000);
    EXPECT_EQ(h.device->lastScanUnit.resolution, 75);
    EXPECT_EQ(h.device->lastScanUnit.scanArea, QRectF(0, 0, 8.5, 11.7));
    EXPECT_EQ(h.device->lastScanUnit.pixelDataType, 2);
    EXPECT_EQ(h.device->lastScanUnit.bitDepth, 8);
    sendBands(*h.device, 20, 30, 30);  // late repeats change nothing
    h.device->sendComplete();
    ASSERT_TRUE(finishes(overview));
    EXPECT_EQ(calls, 1);
}

TEST(EngineOverview, secondScanIsBusyAndTheFirstRunsOn)
{
    Connected h;
    auto first = h.engine.captureOverview({});
    EXPECT_EQ(failureOf(h.engine.captureOverview({}))->description(), "Scanner is already scanning");
    QTemporaryDir dir;
    EXPECT_EQ(failureOf(h.engine.scanRegion(QRectF(0, 0, 1, 1), {}, dir.path(), "x"))->error(), ScanError::busy);
    EXPECT_EQ(h.device->scanRequests, 1);

    sendBands(*h.device, 4, 4, 4);
    h.device->sendComplete();
    EXPECT_FALSE(failureOf(std::move(first)));
}

TEST(EngineOverview, badFirstBandFallsBackToAFileWithoutOnImage)
{
    Connected h;
    const QString file = QDir::temp().filePath("bivara-overview-test-fallback.png");
    h.device->onScan = [&](ScriptedDevice& d) {
        if (d.transferMode == TransferMode::memory) {
            BandData band = rgbBand(12, 9, 0, 9);
            band.bitsPerPixel = 48;  // 16 bits per component: not for the in-memory path
            d.sendBand(band);
        } else {
            d.sendFile(pngFile(file, 12, 9));
        }
        d.sendComplete();
    };
    int calls = 0;
    auto overview = h.engine.captureOverview([&](const QImage&) { ++calls; });
    EXPECT_EQ(finish(std::move(overview)).size(), QSize(12, 9));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(h.device->scanRequests, 2);
    EXPECT_EQ(h.device->documentName, "bivara-overview");
    EXPECT_EQ(h.device->downloadsDirectory, ScratchFolder::path());
    EXPECT_FALSE(QFile::exists(file));  // the temporary file is removed
}

TEST(EngineOverview, aFileReportedDuringTheMemoryScanServesWhenNoBandsCame)
{
    Connected h;
    const QString file = pngFile(QDir::temp().filePath("bivara-overview-test-inline.png"), 6, 5);
    h.device->onScan = [&](ScriptedDevice& d) {
        d.sendFile(file);
        d.sendComplete();
    };
    EXPECT_EQ(finish(h.engine.captureOverview({})).size(), QSize(6, 5));
    EXPECT_EQ(h.device->scanRequests, 1);
    EXPECT_FALSE(QFile::exists(file));
}

TEST(EngineOverview, withoutAScannerNotConnected)
{
    EngineHarness h;
    EXPECT_EQ(failureOf(h.engine.captureOverview({}))->error(), ScanError::notConnected);
    EXPECT_EQ(failureOf(h.engine.scanRegion(QRectF(0, 0, 1, 1), {}, QDir::tempPath(), "x"))->error(), ScanError::notConnected);
}

TEST(EngineRegion, settingsReachTheUnitAndTheFileIsReturned)
{
    Connected h;
    QTemporaryDir dir;
    h.device->onScan = [](ScriptedDevice& d) {
        d.sendFile(QDir(d.downloadsDirectory).filePath(d.documentName + ".png"));
        d.sendComplete();
    };
    EXPECT_EQ(finish(h.engine.scanRegion(QRectF(QPointF(3, 4), QPointF(1, 2)), {350, ColorMode::gray, 16}, dir.path(),
                                         "bivara-master")),
              QDir(dir.path()).filePath("bivara-master.png"));
    EXPECT_EQ(h.device->lastTransferMode, TransferMode::file);
    EXPECT_EQ(h.device->lastScanUnit.scanArea, QRectF(1, 2, 2, 2));  // normalised
    EXPECT_EQ(h.device->lastScanUnit.resolution, 300);
    EXPECT_EQ(h.device->lastScanUnit.pixelDataType, 1);
    EXPECT_EQ(h.device->lastScanUnit.bitDepth, 16);
}

TEST(EngineLostScanner, sessionClosedMidOverviewFailsWithoutRetry)
{
    Connected h;
    int calls = 0;
    auto overview = h.engine.captureOverview([&](const QImage&) { ++calls; });
    drain();
    h.device->sendClosed();
    EXPECT_EQ(failureOf(std::move(overview))->error(), ScanError::notConnected);
    EXPECT_EQ(h.device->scanRequests, 1);
    EXPECT_FALSE(h.engine.isScanning());
    EXPECT_EQ(calls, 0);

    // The next connect opens the session again and scanning works.
    finish(h.engine.connect());
    h.device->onScan = [](ScriptedDevice& d) {
        sendBands(d, 3, 3, 3);
        d.sendComplete();
    };
    EXPECT_FALSE(failureOf(h.engine.captureOverview({})));
}

TEST(EngineLostScanner, switchingScannersFailsTheScanOnTheOldOne)
{
    Connected h;
    auto other = h.announce("usb:2", "Beta");
    auto scan = h.engine.scanRegion(QRectF(0, 0, 1, 1), {}, QDir::tempPath(), "x");
    drain();
    h.engine.selectScanner("usb:2");
    EXPECT_EQ(failureOf(std::move(scan))->error(), ScanError::notConnected);
    // Messages from the old scanner no longer count.
    h.device->sendFile("/nowhere.png");
    h.device->sendComplete();
    drain();
    EXPECT_FALSE(h.engine.isScanning());
}
