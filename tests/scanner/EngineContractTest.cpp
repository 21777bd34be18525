// What every scanner gives the engine's users, whichever device is behind it: the virtual
// flatbed and SANE's test backend (the engine's own rules are tested on a scripted device).
// The early image, region files of the asked size, and each fault (no image, an error at
// completion, a scanner lost mid-scan) ending in the same failure with the engine idle again.

#include "EngineHarness.h"

#include "platform/SaneTestSupport.h"
#include "platform/sane/SaneBrowser.h"
#include "platform/virtual/VirtualBrowser.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

namespace {

enum class Fault { noImage, errorAtCompletion, removedMidScan };
enum class Op { overview, region };

// One kind of scanner behind a connected engine.
struct Backend {
    virtual ~Backend() = default;
    ScannerInfo info;  // what connecting gave
    virtual ICAScannerEngine& engine() = 0;
    // Arms `fault` for the coming scan; false when this scanner cannot show it.
    virtual bool arm(Fault fault, Op op) = 0;
    virtual QString errorText() const = 0;
    // Scans asked of the device so far, or -1 when it does not tell.
    virtual int scansStarted() const { return -1; }
};

struct VirtualBackend final : Backend {
    std::shared_ptr<VirtualFlatbed> device;
    ICAScannerEngine engine_;

    explicit VirtualBackend(VirtualPace pace)
        : device(std::make_shared<VirtualFlatbed>(VirtualBed::demo(), pace)),
          engine_(std::make_unique<VirtualBrowser>(nullptr, device))
    {
        info = finish(engine_.connect());
    }
    ICAScannerEngine& engine() override { return engine_; }
    bool arm(Fault f, Op) override
    {
        (f == Fault::noImage ? device->faults.noImage
         : f == Fault::errorAtCompletion ? device->faults.errorAtCompletion
                                         : device->faults.removeMidScan) = true;
        return true;
    }
    QString errorText() const override { return VirtualFlatbed::faultText; }
    int scansStarted() const override { return device->scansStarted(); }
};

struct SaneScanner final : Backend {
    SaneBrowser* browser;
    std::unique_ptr<ICAScannerEngine> engine_;
    QObject context_;

    SaneScanner()
    {
        useTestBackend();
        auto owned = std::make_unique<SaneBrowser>();
        browser = owned.get();
        engine_ = std::make_unique<ICAScannerEngine>(std::move(owned));
        info = finish(engine_->connect());
    }
    ICAScannerEngine& engine() override { return *engine_; }
    bool arm(Fault f, Op op) override
    {
        SaneScannerDevice& device = *browser->device("test:0");
        if (f == Fault::errorAtCompletion) {
            device.setBackendOption("read-return-value", "SANE_STATUS_IO_ERROR");
            return true;
        }
        if (f == Fault::noImage || op == Op::overview) return false;
        // A slow read, unplugged halfway.
        device.setBackendOption("read-limit", "true");
        device.setBackendOption("read-limit-size", "64");
        QTimer::singleShot(50, &context_, [this] { engine_->disconnect(); });
        return true;
    }
    QString errorText() const override { return "Error during device I/O"; }
};

std::unique_ptr<Backend> makeBackend(const std::string& kind, VirtualPace pace)
{
    if (kind == "virtual") return std::make_unique<VirtualBackend>(pace);
    return std::make_unique<SaneScanner>();
}

class EngineContract : public testing::TestWithParam<std::string> {
protected:
    // The virtual flatbed at a believable pace, so that the early image comes before completion.
    std::unique_ptr<Backend> backend = makeBackend(GetParam(), VirtualPace{20ms, 60ms, 20ms});
    ICAScannerEngine& engine = backend->engine();
    QTemporaryDir dir;
    // A region large enough that a slow read is still running when the scanner goes.
    QCoro::Task<QString> scan(ScanSettings s = {600, ColorMode::color, 8}, QRectF area = QRectF(0, 0, 7, 7))
    {
        return engine.scanRegion(area, s, dir.path(), "scan");
    }
};

}  // namespace

TEST_P(EngineContract, OverviewArrivesEarlyOnceThenAgainAtCompletion)
{
    int calls = 0;
    bool finishedFirst = true;
    QImage early;
    QCoro::Task<QImage>* pending = nullptr;
    auto task = engine.captureOverview([&](const QImage& image) {
        ++calls;
        early = image;
        finishedFirst = pending->isReady();
    });
    pending = &task;
    const QImage image = finish(std::move(task));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(finishedFirst);
    EXPECT_EQ(image, early);
    // The whole bed at 75 dpi, whole pixels.
    const QSizeF bed = backend->info.bedSizeInches * 75;
    EXPECT_NEAR(image.width(), bed.width(), 1);
    EXPECT_NEAR(image.height(), bed.height(), 1);
    EXPECT_FALSE(engine.isScanning());
}

TEST_P(EngineContract, RegionFilesHaveTheAskedSizeModeAndDepth)
{
    const QString file = finish(scan({300, ColorMode::color, 8}, QRectF(0.5, 0.25, 2, 3)));
    EXPECT_EQ(file, QDir(dir.path()).filePath("scan.png"));
    EXPECT_EQ(QImage(file).size(), QSize(600, 900));
    const auto depth = [&](ScanSettings s) { return QImage(finish(scan(s, QRectF(0, 0, 1, 0.5)))); };
    EXPECT_EQ(depth({100, ColorMode::gray, 16}).format(), QImage::Format_Grayscale16);
    EXPECT_EQ(depth({100, ColorMode::gray, 8}).format(), QImage::Format_Grayscale8);
    const QImage bw = depth({100, ColorMode::blackWhite, 8});
    EXPECT_EQ(bw.depth(), 1);
    EXPECT_EQ(bw.size(), QSize(100, 50));
    EXPECT_EQ(depth({100, ColorMode::color, 16}).depth(), 64);
}

TEST_P(EngineContract, EveryFaultEndsInItsFailureWithTheEngineIdle)
{
    const struct {
        Fault fault;
        Op op;
        std::optional<ScanError> error;
        QString text;  // empty: the scanner's own error text
        int scans;     // scans the device was asked for; an overview with no image tries once more
    } cases[] = {
        {Fault::noImage, Op::overview, ScanError::noImage, "Scanner returned no image", 2},
        {Fault::noImage, Op::region, ScanError::noImage, "Scanner returned no image", 1},
        {Fault::errorAtCompletion, Op::overview, std::nullopt, {}, 1},
        {Fault::errorAtCompletion, Op::region, std::nullopt, {}, 1},
        {Fault::removedMidScan, Op::overview, ScanError::notConnected, "Scanner not connected", 1},
        {Fault::removedMidScan, Op::region, ScanError::notConnected, "Scanner not connected", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.fault) << (c.op == Op::overview ? " overview" : " region"));
        backend.reset();  // a SANE device is opened by one engine at a time
        backend = makeBackend(GetParam(), VirtualPace::instant());
        Backend* fresh = backend.get();
        if (!fresh->arm(c.fault, c.op)) continue;
        ICAScannerEngine& e = fresh->engine();
        const int before = fresh->scansStarted();
        int early = 0;
        std::optional<ScanFailure> failure =
            c.op == Op::overview ? failureOf(e.captureOverview([&](const QImage&) { ++early; }))
                                 : failureOf(e.scanRegion(QRectF(0, 0, 7, 7), {600, ColorMode::color, 8}, dir.path(), "broken"));
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->error(), c.error);
        EXPECT_EQ(failure->description(), c.text.isEmpty() ? fresh->errorText() : c.text);
        if (before >= 0) {
            EXPECT_EQ(fresh->scansStarted() - before, c.scans);
        }
        if (c.fault != Fault::errorAtCompletion) {
            EXPECT_EQ(early, 0);
        }
        // SANE writes as it reads and must leave no half-written file; the virtual flatbed's file
        // is whole when it reports its error, in a scratch folder.
        if (GetParam() == "sane") {
            EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath("broken.png")));
        }
        EXPECT_FALSE(e.isScanning());
    }
}

INSTANTIATE_TEST_SUITE_P(Scanners, EngineContract, testing::Values("virtual", "sane"),
                         [](const auto& info) { return info.param; });

// SANE's own: what the test backend reports, and its three-pass and hand-scanner data.
TEST(SaneEngine, ConnectReportsTheBackendsCapabilities)
{
    const SaneScanner s;
    const double bed = 200 / 25.4;
    EXPECT_EQ(s.info.name, "Noname frontend-tester");
    EXPECT_EQ(s.info.supportedResolutions, (std::vector<int>{1, 50, 75, 100, 150, 200, 300, 400, 600, 1200}));
    EXPECT_EQ(s.info.nativeDPI, 1200);
    EXPECT_EQ(s.info.supportedBitDepths, (std::vector<int>{1, 8, 16}));
    EXPECT_NEAR(s.info.bedSizeInches.width(), bed, 1e-6);
    EXPECT_NEAR(s.info.bedSizeInches.height(), bed, 1e-6);
    EXPECT_EQ(s.info.functionalUnitTypes, (std::vector<int>{0, 3}));  // flatbed, feeder
    EXPECT_EQ(s.engine_->scannerChoices(), (std::vector<ScannerChoice>{{"test:0", "Noname frontend-tester"}}));
}

TEST(SaneEngine, ThreePassFramesMakeTheSamePictureAsOnePass)
{
    SaneScanner s;
    QTemporaryDir dir;
    const auto scan = [&](const char* name) {
        return QImage(finish(s.engine().scanRegion(QRectF(0.2, 0.2, 1.5, 1), {150, ColorMode::color, 8}, dir.path(), name)))
            .convertToFormat(QImage::Format_RGB32);
    };
    const QImage single = scan("one");
    s.browser->device("test:0")->setBackendOption("three-pass", "true");
    ASSERT_FALSE(single.isNull());
    EXPECT_EQ(scan("three"), single);
    // In memory too: the overview's bands come once all three frames are in.
    int calls = 0;
    EXPECT_EQ(finish(s.engine().captureOverview([&](const QImage&) { ++calls; })).size(), QSize(590, 590));
    EXPECT_EQ(calls, 1);
}

TEST(SaneEngine, HandScannerOverviewComesFromTheFileFallback)
{
    SaneScanner s;
    s.browser->device("test:0")->setBackendOption("hand-scanner", "true");
    int calls = 0;
    EXPECT_FALSE(finish(s.engine().captureOverview([&](const QImage&) { ++calls; })).isNull());
    EXPECT_EQ(calls, 0);
}
