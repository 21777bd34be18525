// The model over the real engine and the virtual flatbed: the whole working cycle.

#include "core/AppModel.h"
#include "platform/virtual/VirtualBrowser.h"
#include "scanner/ICAScannerEngine.h"
#include "support/ScriptedEngine.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class CycleTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    std::shared_ptr<VirtualFlatbed> device;
    std::unique_ptr<AppModel> model;

    QString out() const { return root.filePath("out"); }

    AppModel& start()
    {
        device = std::make_shared<VirtualFlatbed>(VirtualBed::demo(1), VirtualPace::instant());
        auto browser = std::make_unique<VirtualBrowser>(nullptr, device);
        EngineTimings timings;
        timings.findTimeout = 200ms;
        timings.unitSelectGuard = 200ms;
        timings.unitsReadyPoll = 10ms;
        AppModelOptions options;
        options.preferences = std::make_shared<Preferences>(root.filePath("prefs.ini"));
        options.outputDir = out();
        options.saveDebounce = 20ms;
        model = std::make_unique<AppModel>(std::make_unique<ICAScannerEngine>(std::move(browser), timings), options);
        return *model;
    }
};

}  // namespace

// The whole batch cycle through the real engine is the batch tool's test; here the model's own
// part of it on the virtual flatbed: fronts scanned, then notes found on the turned-over backs.
TEST_F(CycleTest, NotesOnBacksAreDetectedAsNotesThatPairByPosition)
{
    AppModel& m = start();
    runToEnd(m.preview());
    runToEnd(m.autoDetect());
    m.setDpi(100);
    runToEnd(m.scanSelected());
    ASSERT_TRUE(m.status().startsWith("✅ Saved")) << m.status().toStdString();
    ASSERT_TRUE(device->bed().showingBacks());

    runToEnd(m.preview());
    m.setDrawSide(DrawSide::back);
    runToEnd(m.autoDetect());
    ASSERT_FALSE(m.regions().empty()) << m.status().toStdString();
    EXPECT_TRUE(m.status().startsWith("Found ")) << m.status().toStdString();
    EXPECT_EQ(m.regions().front().name, "Note 1");
    EXPECT_EQ(m.selectedID(), m.regions().back().id);
    const auto plan = m.plannedStems();
    for (const ScanRegion& r : m.regions()) {
        EXPECT_EQ(r.back, BackTarget::automatic());
        EXPECT_TRUE(plan.value(r.id).endsWith("_b")) << plan.value(r.id).toStdString();
    }
}
