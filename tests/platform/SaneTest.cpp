// SANE for real, through its test backend: discovery, capabilities, the overview from bands,
// region scans to PNG files in every format, three-pass and hand-scanner data, and errors
// with SANE's own text.

#include "SaneTestSupport.h"

#include "platform/sane/SaneBrowser.h"
#include "scanner/ICAScannerEngine.h"
#include "support/ScriptedEngine.h"
#include "support/TaskResults.h"

#include <gtest/gtest.h>

#include <QCoroTask>
#include <QImageReader>
#include <QTemporaryDir>

#include <cmath>

using namespace std::chrono_literals;

namespace {

class Recorder final : public DeviceBrowserDelegate {
public:
    std::vector<std::shared_ptr<ScannerDevice>> added;
    int enumerated = 0;
    void didAddDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& d, bool) override { added.push_back(d); }
    void didRemoveDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>&, bool) override {}
    void requestsSelectDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>&) override {}
    void didEnumerateLocalDevices(DeviceBrowser&) override { ++enumerated; }
};

template <class T>
QString failureText(QCoro::Task<T>&& task)
{
    const auto failure = failureOf(std::move(task));
    return failure ? failure->description() : QString("(no failure)");
}

struct SaneEngine {
    SaneBrowser* browser;
    std::unique_ptr<ICAScannerEngine> engine;
    ScannerInfo info;

    SaneEngine()
    {
        useTestBackend();
        auto owned = std::make_unique<SaneBrowser>();
        browser = owned.get();
        engine = std::make_unique<ICAScannerEngine>(std::move(owned));
        info = finish(engine->connect());
    }

    SaneScannerDevice& device() { return *browser->device("test:0"); }
};

constexpr double bedInches = 200 / 25.4;

}  // namespace

TEST(SaneDiscovery, findsTheTestBackendByNameWithVendorAndModel)
{
    useTestBackend();
    Recorder recorder;
    SaneBrowser browser;
    browser.setDelegate(&recorder);
    browser.start();
    ASSERT_TRUE(spinUntil([&] { return recorder.enumerated == 1; }, 10s));
    ASSERT_EQ(recorder.added.size(), 1u);
    EXPECT_EQ(recorder.added[0]->persistentIDString(), "test:0");
    EXPECT_EQ(recorder.added[0]->name(), "Noname frontend-tester");
    browser.stop();
    browser.setDelegate(nullptr);
}

TEST(SaneEngineTest, connectReportsResolutionsDepthsUnitsAndBed)
{
    SaneEngine s;
    EXPECT_EQ(s.info.name, "Noname frontend-tester");
    EXPECT_EQ(s.info.supportedResolutions, (std::vector<int>{1, 50, 75, 100, 150, 200, 300, 400, 600, 1200}));
    EXPECT_EQ(s.info.nativeDPI, 1200);
    EXPECT_EQ(s.info.supportedBitDepths, (std::vector<int>{1, 8, 16}));
    EXPECT_NEAR(s.info.bedSizeInches.width(), bedInches, 1e-6);
    EXPECT_NEAR(s.info.bedSizeInches.height(), bedInches, 1e-6);
    EXPECT_EQ(s.info.functionalUnitTypes, (std::vector<int>{0, 3}));  // flatbed, feeder
    EXPECT_EQ(s.engine->scannerChoices(), (std::vector<ScannerChoice>{{"test:0", "Noname frontend-tester"}}));
}

TEST(SaneEngineTest, overviewAt75DpiArrivesThroughOnImageBeforeCompletion)
{
    SaneEngine s;
    QImage early;
    bool finishedFirst = false;
    QCoro::Task<QImage>* pending = nullptr;
    auto task = s.engine->captureOverview([&](const QImage& image) {
        early = image;
        finishedFirst = pending && pending->isReady();
    });
    pending = &task;
    const QImage image = finish(std::move(task));
    ASSERT_FALSE(early.isNull());
    EXPECT_FALSE(finishedFirst);
    EXPECT_EQ(image, early);
    // The backend counts whole pixels: 200 mm at 75 dpi is 590.55, so 590.
    EXPECT_EQ(image.size(), QSize(590, 590));
    // The colour pattern, not a blank page.
    EXPECT_GT(image.pixelColor(image.width() / 2, image.height() / 2).saturation() +
                  image.pixelColor(image.width() / 4, image.height() / 8).saturation(),
              0);
}

TEST(SaneEngineTest, regionTwoByThreeInchesAt300DpiIs600By900Png)
{
    SaneEngine s;
    QTemporaryDir dir;
    const QString file = finish(s.engine->scanRegion(QRectF(0.5, 0.25, 2, 3), {300, ColorMode::color, 8}, dir.path(),
                                                     "bivara-master"));
    EXPECT_EQ(file, QDir(dir.path()).filePath("bivara-master.png"));
    QImageReader reader(file);
    EXPECT_EQ(reader.format(), "png");
    const QImage image = reader.read();
    EXPECT_EQ(image.size(), QSize(600, 900));
    EXPECT_FALSE(image.hasAlphaChannel());
}

TEST(SaneEngineTest, grayDeepAndBlackWhiteFilesHaveTheirDepths)
{
    SaneEngine s;
    QTemporaryDir dir;
    const QString gray16 =
        finish(s.engine->scanRegion(QRectF(0, 0, 1, 1), {100, ColorMode::gray, 16}, dir.path(), "gray16"));
    const QImage g = QImage(gray16);
    EXPECT_EQ(g.size(), QSize(100, 100));
    EXPECT_EQ(g.format(), QImage::Format_Grayscale16);

    const QString bw = finish(s.engine->scanRegion(QRectF(0, 0, 1, 1), {100, ColorMode::blackWhite, 8}, dir.path(), "bw"));
    const QImage b = QImage(bw);
    EXPECT_EQ(b.size(), QSize(100, 100));
    EXPECT_EQ(b.depth(), 1);

    const QString rgb16 = finish(s.engine->scanRegion(QRectF(0, 0, 1, 1), {100, ColorMode::color, 16}, dir.path(), "rgb16"));
    EXPECT_EQ(QImage(rgb16).depth(), 64);
}

TEST(SaneEngineTest, threePassFramesMakeTheSamePictureAsOnePass)
{
    SaneEngine s;
    QTemporaryDir dir;
    const QRectF area(0.2, 0.2, 1.5, 1);
    const QImage single = QImage(finish(s.engine->scanRegion(area, {150, ColorMode::color, 8}, dir.path(), "one")));
    s.device().setBackendOption("three-pass", "true");
    const QImage three = QImage(finish(s.engine->scanRegion(area, {150, ColorMode::color, 8}, dir.path(), "three")));
    ASSERT_FALSE(single.isNull());
    EXPECT_EQ(three.convertToFormat(QImage::Format_RGB32), single.convertToFormat(QImage::Format_RGB32));

    // In memory too: the overview's bands come once all three frames are in.
    int calls = 0;
    const QImage overview = finish(s.engine->captureOverview([&](const QImage&) { ++calls; }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(overview.size(), QSize(590, 590));
}

TEST(SaneEngineTest, handScannerOverviewComesFromTheFileFallback)
{
    SaneEngine s;
    s.device().setBackendOption("hand-scanner", "true");
    int calls = 0;
    const QImage overview = finish(s.engine->captureOverview([&](const QImage&) { ++calls; }));
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(overview.isNull());
    EXPECT_GT(overview.height(), 0);
}

TEST(SaneEngineTest, forcedReadErrorSurfacesWithSanesText)
{
    SaneEngine s;
    s.device().setBackendOption("read-return-value", "SANE_STATUS_IO_ERROR");
    QTemporaryDir dir;
    EXPECT_EQ(failureText(s.engine->scanRegion(QRectF(0, 0, 1, 1), {}, dir.path(), "broken")), "Error during device I/O");
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath("broken.png")));  // no half-written file
    EXPECT_EQ(failureText(s.engine->captureOverview({})), "Error during device I/O");
    EXPECT_FALSE(s.engine->isScanning());
}

TEST(SaneEngineTest, disconnectMidScanFailsThePendingScan)
{
    SaneEngine s;
    s.device().setBackendOption("read-limit", "true");
    s.device().setBackendOption("read-limit-size", "64");
    QTemporaryDir dir;
    auto scan = s.engine->scanRegion(QRectF(0, 0, 7, 7), {600, ColorMode::color, 8}, dir.path(), "long");
    spinUntil([] { return false; }, 50ms);
    s.engine->disconnect();
    EXPECT_EQ(failureText(std::move(scan)), "Scanner not connected");
    EXPECT_FALSE(s.engine->isScanning());
}
