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

    AppModel& connectedModel(const std::function<void(ScriptedEngine&)>& setUp = {}, bool announce = true)
    {
        if (model) spinUntil([&] { return engine->connectsRunning() == 0; });
        model.reset();  // one model at a time holds the folder
        statuses.clear();
        AppModel& m = makeModel([&](ScriptedEngine& e) {
            e.overviewImage = bed;
            if (setUp) setUp(e);
        });
        if (announce) {
            announceScanner();
            spinUntil([&] { return m.info().has_value(); });
        }
        QObject::connect(&m, &AppModel::changed, &m, [this, &m](AppModel::Property p) {
            if (p == AppModel::Property::status) statuses.push_back(m.status());
        });
        return m;
    }

    std::vector<QString> statuses;  // every status text the model showed, in order
};

}  // namespace

TEST_F(PreviewTest, TheEarlyImageFreesTheWindowWhileTheScannerReturnsAndTheButtonStartsOne)
{
    AppModel& m = connectedModel();
    for (const bool again : {false, true}) {
        engine->hold();
        auto flow = m.preview();
        ASSERT_TRUE(spinUntil([&] { return !m.overview().isNull() && !m.busy(); }));
        EXPECT_EQ(m.status(), "Preview ready — scanner returning…");
        EXPECT_TRUE(m.scannerBusy());
        if (again) {  // refused, and its text outlives the first preview's end
            runToEnd(m.preview());
            EXPECT_EQ(m.status(), "Scanner is already busy.");
            EXPECT_EQ(engine->overviewCalls, 2);
        }
        engine->release();
        runToEnd(std::move(flow));
        EXPECT_FALSE(m.scannerBusy());
    }
    EXPECT_EQ(statuses, (std::vector<QString>{"Scanning preview…", "Preview ready — scanner returning…", "Preview ready.",
                                              "Scanning preview…", "Preview ready — scanner returning…",
                                              "Scanner is already busy."}));

    // The scanner's own button starts one too.
    engine->onPreviewButtonPressed();
    ASSERT_TRUE(spinUntil([&] { return m.status() == "Preview ready."; }));
    EXPECT_EQ(statuses[6], "Scanner button pressed — starting preview…");
}

TEST_F(PreviewTest, EveryEndLeavesTheModelIdleWithItsText)
{
    const struct {
        const char* what;
        std::function<void(ScriptedEngine&)> setUp;
        bool announce;
        std::vector<QString> statuses;
        bool info;
        bool overview;
    } cases[] = {
        {"an image only at the end", [](ScriptedEngine& e) { e.earlyImage = false; }, true,
         {"Scanning preview…", "Preview loaded.", "Preview ready."}, true, true},
        {"no scanner", [](ScriptedEngine& e) { e.connectTimeout = 30ms; }, false,
         {"Connecting… (first link can take a while)", "Preview failed: Timed out waiting for the scanner"}, false, false},
        {"an engine failure", [](ScriptedEngine& e) { e.overviewFailure = ScanFailure::service("Error during device I/O"); },
         true, {"Scanning preview…", "Preview failed: Error during device I/O"}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AppModel& m = connectedModel(c.setUp, c.announce);
        runToEnd(m.preview());
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_FALSE(m.busy() || m.scannerBusy());
        EXPECT_EQ(m.info().has_value(), c.info);
        EXPECT_EQ(m.overview().size(), c.overview ? bed.size() : QSize(0, 0));
    }
}

TEST_F(PreviewTest, WarmUpConnectsQuietlyOrInvitesAPreview)
{
    AppModel& m = connectedModel([](ScriptedEngine& e) { e.connectDelay = 10ms; }, false);
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

    AppModel& lonely = connectedModel([](ScriptedEngine& e) { e.connectTimeout = 10ms; }, false);
    runToEnd(lonely.warmUp());
    EXPECT_EQ(lonely.status(), "Scanner not found — press Preview to retry");
}
