// The virtual flatbed through the engine: a whole cycle of previews and region scans, its
// image-file beds, and what the engine contract leaves out (its faults are in the contract).

#include "platform/virtual/VirtualBrowser.h"
#include "scanner/ICAScannerEngine.h"
#include "support/IdleDevice.h"
#include "support/ScriptedEngine.h"
#include "support/TaskResults.h"

#include <gtest/gtest.h>

#include <QCoroTask>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

struct VirtualEngine {
    std::shared_ptr<VirtualFlatbed> device;
    VirtualBrowser* browser;
    std::unique_ptr<ICAScannerEngine> engine;
    int buttons = 0;

    explicit VirtualEngine(VirtualBed bed = VirtualBed::demo(), VirtualPace pace = VirtualPace::instant())
        : device(std::make_shared<VirtualFlatbed>(std::move(bed), pace))
    {
        auto owned = std::make_unique<VirtualBrowser>(nullptr, device);
        browser = owned.get();
        engine = std::make_unique<ICAScannerEngine>(std::move(owned));
        engine->onPreviewButtonPressed = [this] { ++buttons; };
    }

    ScannerInfo connect() { return finish(engine->connect()); }
};

QString solidPng(const QString& folder, const QString& name, QColor colour)
{
    QImage image(170, 234, QImage::Format_RGB888);
    image.fill(colour);
    const QString path = QDir(folder).filePath(name);
    image.save(path);
    return path;
}

}  // namespace

TEST(VirtualFlatbedCycle, previewScanTurnOverAndAFreshBatch)
{
    VirtualEngine v;
    EXPECT_EQ(v.connect().name, "Virtual Flatbed");
    const QImage fronts = finish(v.engine->captureOverview({}));
    ASSERT_GE(v.device->bed().prints().size(), 5u);
    ASSERT_LE(v.device->bed().prints().size(), 6u);
    // A print's centre is a picture, not the off-white lid.
    const QPointF c = v.device->bed().prints()[0].center * 75;
    EXPECT_NE(fronts.pixel(c.toPoint()), qRgb(243, 241, 234));

    QTemporaryDir dir;
    finish(v.engine->scanRegion(QRectF(1, 1, 2, 3), {300, ColorMode::color, 8}, dir.path(), "bivara-master"));
    EXPECT_TRUE(v.device->bed().showingBacks());

    const QImage backs = finish(v.engine->captureOverview({}));
    EXPECT_NE(backs, fronts);
    const auto& prints = v.device->bed().prints();
    EXPECT_TRUE(std::any_of(prints.begin(), prints.end(), [](const DemoPrint& p) { return !p.note.isEmpty(); }));

    finish(v.engine->scanRegion(QRectF(1, 1, 1, 1), {75, ColorMode::color, 8}, dir.path(), "again"));
    EXPECT_FALSE(v.device->bed().showingBacks());
    EXPECT_NE(finish(v.engine->captureOverview({})), fronts);  // a fresh batch
}

TEST(VirtualFlatbedCycle, backsLieNearlyWhereTheFrontsLay)
{
    VirtualBed bed = VirtualBed::demo(3);
    const auto fronts = bed.prints();
    bed.turnOver();
    ASSERT_EQ(bed.prints().size(), fronts.size());
    for (size_t i = 0; i < fronts.size(); ++i) {
        const QPointF d = bed.prints()[i].center - fronts[i].center;
        EXPECT_LT(std::hypot(d.x(), d.y()), 0.1);
        EXPECT_LT(std::abs(fronts[i].angle), 4.1 * M_PI / 180);
    }
}

TEST(VirtualFlatbedCycle, imageFilesCoverTheBedOneAfterAnother)
{
    QTemporaryDir dir;
    const QString red = solidPng(dir.path(), "red.png", Qt::red);
    const QString blue = solidPng(dir.path(), "blue.jpg", Qt::blue);
    qputenv("BIVARA_VIRTUAL_BED", (red + ":" + blue).toUtf8());
    VirtualBed bed = VirtualBed::fromEnvironment();
    qunsetenv("BIVARA_VIRTUAL_BED");
    VirtualEngine v(bed);
    v.connect();
    const QImage first = finish(v.engine->captureOverview({}));
    EXPECT_EQ(first.size(), QSize(638, 878));
    EXPECT_EQ(first.pixelColor(300, 400), QColor(Qt::red));
    finish(v.engine->scanRegion(QRectF(0, 0, 1, 1), {75, ColorMode::color, 8}, dir.path(), "scan"));
    const QColor second = finish(v.engine->captureOverview({})).pixelColor(300, 400);
    EXPECT_LT(second.red(), 20);
    EXPECT_GT(second.blue(), 230);
}

TEST(VirtualFlatbed, OpenFaultFailedScanAndButton)
{
    VirtualEngine off;
    off.device->faults.failOpen = true;
    EXPECT_EQ(failureOf(off.engine->connect())->description(), VirtualFlatbed::openFaultText);

    VirtualEngine v;
    v.connect();
    v.device->pressButton();
    ASSERT_TRUE(spinUntil([&] { return v.buttons == 1; }));
    v.device->faults.errorAtCompletion = true;
    QTemporaryDir dir;
    EXPECT_TRUE(failureOf(v.engine->scanRegion(QRectF(0, 0, 1, 1), {}, dir.path(), "x")));
    EXPECT_FALSE(v.device->bed().showingBacks()) << "a failed scan turns nothing over";
}

namespace {

// A stand-in for SANE's browser: announces one real scanner some time after it starts, then
// says it has looked everywhere.
class OneScannerBrowser final : public DeviceBrowser {
public:
    void start() override
    {
        QTimer::singleShot(30, &context_, [this] {
            if (auto* d = delegate()) {
                d->didAddDevice(*this, real, false);
                d->didEnumerateLocalDevices(*this);
            }
        });
    }
    void stop() override {}
    // A real scanner as far as the browser is concerned; it is never opened here.
    std::shared_ptr<IdleDevice> real = std::make_shared<IdleDevice>("usb:real", "Real Flatbed");

private:
    QObject context_;
};

}  // namespace

TEST(VirtualFlatbedBrowser, announcedAfterTheFirstLookSoARealScannerComesFirst)
{
    auto device = std::make_shared<VirtualFlatbed>(VirtualBed::demo(), VirtualPace::instant());
    ICAScannerEngine engine(std::make_unique<VirtualBrowser>(std::make_unique<OneScannerBrowser>(), device));
    ASSERT_TRUE(spinUntil([&] { return engine.scannerChoices().size() == 2; }));
    EXPECT_EQ(engine.scannerChoices(),
              (std::vector<ScannerChoice>{{"usb:real", "Real Flatbed"}, {"virtual:flatbed", "Virtual Flatbed"}}));
    EXPECT_EQ(engine.activeScannerID(), "usb:real");
}
