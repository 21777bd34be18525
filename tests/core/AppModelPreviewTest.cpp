#include "support/ModelFixture.h"


namespace {

using namespace std::chrono_literals;

class PreviewTest : public ModelFixture {
protected:
    QImage bed = [] {
        QImage i(638, 878, QImage::Format_RGB32);
        i.fill(QColor(240, 238, 230));
        return i;
    }();

    AppModel& connectedModel()
    {
        AppModel& m = makeModel([&](ScriptedEngine& e) { e.overviewImage = bed; });
        announceScanner();
        spinUntil([&] { return m.info().has_value(); });
        return m;
    }

    // Every status text the model showed, in order.
    std::vector<QString> statuses;
    void recordStatuses(AppModel& m)
    {
        QObject::connect(&m, &AppModel::changed, &m, [&](AppModel::Property p) {
            if (p == AppModel::Property::status) statuses.push_back(m.status());
        });
    }
};

}  // namespace

TEST_F(PreviewTest, TheEarlyImageFreesTheWindowWhileTheScannerReturns)
{
    AppModel& m = connectedModel();
    engine->hold();
    recordStatuses(m);
    auto flow = m.preview();
    ASSERT_TRUE(spinUntil([&] { return !m.overview().isNull(); }));
    EXPECT_EQ(m.status(), "Preview ready — scanner returning…");
    EXPECT_FALSE(m.busy());
    EXPECT_TRUE(m.scannerBusy());

    engine->release();
    runToEnd(std::move(flow));
    EXPECT_EQ(m.status(), "Preview ready.");
    EXPECT_FALSE(m.scannerBusy());
    EXPECT_EQ(statuses, (std::vector<QString>{"Scanning preview…", "Preview ready — scanner returning…", "Preview ready."}));
}

TEST_F(PreviewTest, TextSetMeanwhileByAnotherOperationStays)
{
    AppModel& m = connectedModel();
    engine->hold();
    auto flow = m.preview();
    ASSERT_TRUE(spinUntil([&] { return !m.busy(); }));
    m.setStatus("Detecting photos…");
    engine->release();
    runToEnd(std::move(flow));
    EXPECT_EQ(m.status(), "Detecting photos…");
}

TEST_F(PreviewTest, AnImageThatComesOnlyAtTheEndNeverShowsTheEarlyText)
{
    AppModel& m = connectedModel();
    engine->earlyImage = false;
    recordStatuses(m);
    runToEnd(m.preview());
    EXPECT_EQ(statuses, (std::vector<QString>{"Scanning preview…", "Preview loaded.", "Preview ready."}));
    EXPECT_FALSE(m.busy());
    EXPECT_FALSE(m.scannerBusy());
    EXPECT_EQ(m.overview().size(), bed.size());
}

TEST_F(PreviewTest, APreviewWhileBusyIsRefusedAndChangesNothingElse)
{
    AppModel& m = connectedModel();
    engine->hold();
    auto first = m.preview();
    ASSERT_TRUE(spinUntil([&] { return !m.busy(); }));  // only the scanner is busy now
    runToEnd(m.preview());
    EXPECT_EQ(m.status(), "Scanner is already busy.");
    EXPECT_EQ(engine->overviewCalls, 1);
    EXPECT_TRUE(m.scannerBusy());
    engine->release();
    runToEnd(std::move(first));
}

TEST_F(PreviewTest, WithoutAScannerThePreviewTimesOut)
{
    AppModel& m = makeModel([](ScriptedEngine& e) { e.connectTimeout = 30ms; });
    recordStatuses(m);
    runToEnd(m.preview());
    EXPECT_EQ(statuses, (std::vector<QString>{"Connecting… (first link can take a while)",
                                              "Preview failed: Timed out waiting for the scanner"}));
    EXPECT_FALSE(m.busy());
    EXPECT_FALSE(m.scannerBusy());
    EXPECT_FALSE(m.info());
}

TEST_F(PreviewTest, AnEngineFailureEndsThePreviewWithItsText)
{
    AppModel& m = connectedModel();
    engine->overviewFailure = ScanFailure::service("Error during device I/O");
    runToEnd(m.preview());
    EXPECT_EQ(m.status(), "Preview failed: Error during device I/O");
    EXPECT_FALSE(m.busy());
    EXPECT_FALSE(m.scannerBusy());
    EXPECT_TRUE(m.info());
}

TEST_F(PreviewTest, TheScannerButtonStartsAPreview)
{
    AppModel& m = connectedModel();
    recordStatuses(m);
    engine->onPreviewButtonPressed();
    ASSERT_TRUE(spinUntil([&] { return m.status() == "Preview ready."; }));
    EXPECT_EQ(statuses.front(), "Scanner button pressed — starting preview…");
}

TEST_F(PreviewTest, WarmUpConnectsQuietlyAndNamesTheScanner)
{
    AppModel& m = makeModel([&](ScriptedEngine& e) { e.connectDelay = 10ms; });
    auto warm = m.warmUp();
    EXPECT_EQ(m.status(), "Searching for scanner…");
    EXPECT_FALSE(m.busy());
    announceScanner();
    runToEnd(std::move(warm));
    EXPECT_TRUE(m.info());
    EXPECT_EQ(m.status(), "Test Flatbed ready — press its button or Preview");

    const int calls = engine->connectCalls;
    runToEnd(m.warmUp());
    EXPECT_EQ(engine->connectCalls, calls) << "nothing to warm up once connected";
}

TEST_F(PreviewTest, AFailedWarmUpAtRestInvitesAPreview)
{
    AppModel& m = makeModel([](ScriptedEngine& e) { e.connectTimeout = 10ms; });
    runToEnd(m.warmUp());
    EXPECT_EQ(m.status(), "Scanner not found — press Preview to retry");
}
