// The model over the real engine and the virtual flatbed: the whole working cycle.

#include "core/AppModel.h"
#include "model/StateFiles.h"
#include "platform/virtual/VirtualBrowser.h"
#include "scanner/ICAScannerEngine.h"
#include "support/ScriptedEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A browser that never finds anything.
class EmptyBrowser : public DeviceBrowser {
public:
    void start() override {}
    void stop() override {}
};

class CycleTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    std::shared_ptr<VirtualFlatbed> device;
    std::unique_ptr<AppModel> model;
    std::vector<QString> statuses;

    QString out() const { return root.filePath("out"); }

    AppModel& start(VirtualPace pace = VirtualPace::instant(), std::unique_ptr<DeviceBrowser> browser = nullptr)
    {
        if (!browser) {
            if (!device) device = std::make_shared<VirtualFlatbed>(VirtualBed::demo(1), pace);
            browser = std::make_unique<VirtualBrowser>(nullptr, device);
        }
        EngineTimings timings;
        timings.findTimeout = 200ms;
        timings.unitSelectGuard = 200ms;
        timings.unitsReadyPoll = 10ms;
        AppModelOptions options;
        options.preferences = std::make_shared<Preferences>(root.filePath("prefs.ini"));
        options.outputDir = out();
        options.saveDebounce = 20ms;
        model = std::make_unique<AppModel>(std::make_unique<ICAScannerEngine>(std::move(browser), timings), options);
        QObject::connect(model.get(), &AppModel::changed, model.get(), [this](AppModel::Property p) {
            if (p == AppModel::Property::status) statuses.push_back(model->status());
        });
        return *model;
    }

    bool saw(const QString& text) const { return std::find(statuses.begin(), statuses.end(), text) != statuses.end(); }

    // Preview, detect on the given side and scan; the saved file names.
    std::vector<QString> scanBatch(DrawSide detectOn, bool wholeBacks = false)
    {
        AppModel& m = *model;
        runToEnd(m.preview());
        EXPECT_EQ(m.status(), "Preview ready.");
        m.setDrawSide(detectOn);
        runToEnd(m.autoDetect());
        if (wholeBacks)
            for (const ScanRegion& r : m.regions()) m.setBack(r.id, BackTarget::automatic());
        m.setDpi(100);
        runToEnd(m.scanSelected());
        std::vector<QString> names;
        for (const QString& f : m.lastSaved()) names.push_back(QFileInfo(f).completeBaseName());
        return names;
    }
};

}  // namespace

TEST_F(CycleTest, FrontsThenTheirBacksThenANewBatch)
{
    AppModel& m = start();
    const auto fronts = scanBatch(DrawSide::front);
    const std::size_t prints = device->bed().prints().size();
    ASSERT_EQ(fronts.size(), prints) << m.status().toStdString();
    for (std::size_t i = 0; i < fronts.size(); ++i) EXPECT_EQ(fronts[i], AppModel::numberedStem("scan", int(i) + 1));
    EXPECT_TRUE(m.status().startsWith("✅ Saved")) << m.status().toStdString();
    EXPECT_EQ(m.history().size(), prints);
    EXPECT_TRUE(device->bed().showingBacks()) << "the user turned the prints over";

    const auto backs = scanBatch(DrawSide::front, true);
    ASSERT_EQ(backs.size(), prints) << m.status().toStdString();
    std::vector<QString> expected;
    for (const QString& f : fronts) expected.push_back(f + "_b");
    std::vector<QString> sortedBacks = backs;
    std::sort(sortedBacks.begin(), sortedBacks.end());
    EXPECT_EQ(sortedBacks, expected) << "every back takes its own front's name";
    EXPECT_TRUE(m.status().contains(QString(" · %1 back").arg(prints)));
    EXPECT_EQ(m.history().size(), prints) << "backs are not remembered as fronts";

    const auto fresh = scanBatch(DrawSide::front);
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(fresh.front(), AppModel::numberedStem("scan", int(prints) + 1));
    EXPECT_EQ(m.previousScanRecords().size(), fresh.size()) << "the new batch is the latest";
}

TEST_F(CycleTest, PairingSurvivesARestart)
{
    start();
    const auto fronts = scanBatch(DrawSide::front);
    ASSERT_FALSE(fronts.empty());
    model.reset();

    AppModel& m = start();  // the same device, turned over, and the same folder
    EXPECT_EQ(m.history().size(), fronts.size());
    EXPECT_FALSE(m.prevOverview().isNull());
    const auto backs = scanBatch(DrawSide::front, true);
    ASSERT_EQ(backs.size(), fronts.size()) << m.status().toStdString();
    for (const QString& b : backs) EXPECT_TRUE(b.endsWith("_b")) << b.toStdString();
}

TEST_F(CycleTest, TheEarlyImageComesWhileTheScannerReturns)
{
    AppModel& m = start(VirtualPace{60ms, 400ms, 0ms});
    auto flow = m.preview();
    ASSERT_TRUE(spinUntil([&] { return !m.overview().isNull(); }));
    EXPECT_EQ(m.status(), "Preview ready — scanner returning…");
    EXPECT_FALSE(m.busy());
    EXPECT_TRUE(m.scannerBusy());

    // Auto-detect meanwhile: its text outlives the preview's end.
    runToEnd(m.autoDetect());
    EXPECT_TRUE(m.status().startsWith("Detected ")) << m.status().toStdString();
    const QString detected = m.status();
    runToEnd(std::move(flow));
    EXPECT_FALSE(m.scannerBusy());
    EXPECT_EQ(m.status(), detected);
    EXPECT_GT(m.overview().width(), 600);
}

TEST_F(CycleTest, AScannerFaultDuringTheScanIsReportedAndWritesNothing)
{
    AppModel& m = start();
    runToEnd(m.preview());
    runToEnd(m.autoDetect());
    ASSERT_FALSE(m.regions().empty());
    device->faults.errorAtCompletion = true;
    runToEnd(m.scanSelected());
    EXPECT_EQ(m.status(), QString("Scan failed: ") + VirtualFlatbed::faultText);
    EXPECT_FALSE(m.busy());
    EXPECT_FALSE(m.scannerBusy());
    EXPECT_TRUE(m.history().empty());
    EXPECT_TRUE(QDir(out()).entryList({"*.jpg"}).isEmpty());
}

TEST_F(CycleTest, NotesOnBacksAreDetectedAsNotesThatPairByPosition)
{
    AppModel& m = start();
    scanBatch(DrawSide::front);
    runToEnd(m.preview());
    m.setDrawSide(DrawSide::back);
    runToEnd(m.autoDetect());
    ASSERT_FALSE(m.regions().empty()) << m.status().toStdString();
    EXPECT_TRUE(m.status().startsWith("Found ")) << m.status().toStdString();
    EXPECT_EQ(m.regions().front().name, "Note 1");
    EXPECT_EQ(m.selectedID(), m.regions().back().id);
    for (const ScanRegion& r : m.regions()) EXPECT_EQ(r.back, BackTarget::automatic());
    const auto plan = m.plannedStems();
    for (const ScanRegion& r : m.regions()) EXPECT_TRUE(plan.value(r.id).endsWith("_b")) << plan.value(r.id).toStdString();
}
