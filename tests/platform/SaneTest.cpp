// SANE for real, through its test backend: discovery, capabilities, three-pass and
// hand-scanner data. The overview, region files and faults are in the engine contract.

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
