#include "support/ModelFixture.h"

namespace {

class ScannerChoiceTest : public ModelFixture {
protected:
    // A model connected to "test:1", with "test:2" announced too when `second`.
    AppModel& connected(bool second = false)
    {
        if (model) spinUntil([&] { return engine->connectsRunning() == 0; });
        model.reset();  // one model at a time holds the folder
        AppModel& m = makeModel();
        announceScanner("test:1", "Flatbed One");
        if (second) engine->announce({"test:2", "Second"});
        EXPECT_TRUE(spinUntil([&] { return m.scanners().size() == (second ? 2u : 1u) && m.info(); }));
        return m;
    }
    bool switchTo(AppModel& m, const QString& id)
    {
        m.switchScanner(id);
        return spinUntil([&] { return m.activeScannerID() == id && m.info(); });
    }
};

ScannerInfo infoWith(std::vector<int> resolutions)
{
    ScannerInfo i = ScriptedEngine::defaultInfo();
    i.supportedResolutions = std::move(resolutions);
    return i;
}

std::vector<int> range(int first, int count, int step)
{
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(first + i * step);
    return out;
}

}  // namespace

TEST_F(ScannerChoiceTest, ResolutionOptionsFollowTheScannerAndTheDpiIsClampedToThem)
{
    const auto presets = AppModel::resolutionPresets;
    std::vector<int> twenty = range(310, 18, 7);
    twenty.insert(twenty.begin(), 300);
    twenty.push_back(600);
    const struct {
        const char* what;
        std::optional<ScannerInfo> info;
        int dpi;
        std::vector<int> options;
        int clamped;
    } cases[] = {
        {"no scanner yet", std::nullopt, 600, presets, 600},
        {"a scanner that reports none", infoWith({}), 600, presets, 600},
        {"the presets it reports", infoWith({75, 150, 300, 600, 1200, 2400}), 600, {150, 300, 600, 1200, 2400}, 600},
        {"few resolutions, none a preset: the nearest", infoWith({200, 400}), 600, {200, 400}, 400},
        {"many resolutions, two presets", infoWith(twenty), 600, {300, 600}, 600},
        {"many resolutions, no preset", infoWith(range(101, 20, 3)), 600, presets, 600},
        {"a tie goes to the earlier option", infoWith({300, 600, 1200, 2400, 2401}), 450, {300, 600, 1200, 2400}, 300},
        {"above a tie", infoWith({300, 600, 1200, 2400}), 500, {300, 600, 1200, 2400}, 600},
        {"no scanner: a preset stays", std::nullopt, 2400, presets, 2400},
        {"no scanner: the nearest preset", std::nullopt, 75, presets, 100},
    };
    AppModel& m = makeModel();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m.setDpi(c.dpi);
        m.setInfo(c.info);
        EXPECT_EQ(m.resolutionOptions(), c.options);
        EXPECT_EQ(m.dpi(), c.clamped);
    }
}

TEST_F(ScannerChoiceTest, TheFirstScannerIsConnectedAndAnotherInTheListChangesNothing)
{
    AppModel& m = connected();
    EXPECT_EQ(m.activeScannerID(), "test:1");
    EXPECT_EQ(m.scanners(), (std::vector<ScannerChoice>{{"test:1", "Flatbed One"}}));
    EXPECT_EQ(m.status(), "Test Flatbed ready — press its button or Preview");
    m.setDpi(1200);
    engine->announce({"test:2", "Second"});
    ASSERT_TRUE(spinUntil([&] { return m.scanners().size() == 2; }));
    EXPECT_TRUE(m.info());
    EXPECT_EQ(m.dpi(), 1200);
    EXPECT_EQ(engine->connectCalls, 1);
}

TEST_F(ScannerChoiceTest, LosingTheScannerSaysSoUnlessAScanIsRunning)
{
    for (const bool scanning : {false, true}) {
        SCOPED_TRACE(scanning ? "scanning" : "at rest");
        AppModel& m = connected();
        if (scanning) {
            m.setBusy(true);
            m.setScannerBusy(true);
            m.setStatus("Scanning…");
        }
        engine->remove("test:1");
        ASSERT_TRUE(spinUntil([&] { return !m.activeScannerID(); }));
        EXPECT_FALSE(m.info());
        EXPECT_EQ(m.status(), scanning ? "Scanning…" : "Scanner disconnected — waiting for one to appear");
    }
}

TEST_F(ScannerChoiceTest, SwitchingIsRefusedWhileBusyAndARelinkToAnotherBedDropsTheOverview)
{
    AppModel& m = connected(true);
    m.setScannerBusy(true);
    m.switchScanner("test:2");
    EXPECT_EQ(m.status(), "Finish the current scan before switching scanners.");
    spinUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_EQ(engine->activeScannerID(), "test:1");
    m.setScannerBusy(false);

    m.setOverview(QImage(638, 878, QImage::Format_RGB32));
    engine->info.bedSizeInches = QSizeF(8.5, 11.7);  // the same bed
    ASSERT_TRUE(switchTo(m, "test:2"));
    EXPECT_EQ(engine->connectCalls, 2) << "the relink connected to the new scanner";
    EXPECT_FALSE(m.overview().isNull());
    engine->info.bedSizeInches = QSizeF(8.5, 14);
    ASSERT_TRUE(switchTo(m, "test:1"));
    EXPECT_TRUE(m.overview().isNull());
}

TEST_F(ScannerChoiceTest, AFailedRelinkAtRestInvitesARetry)
{
    AppModel& m = makeModel([](ScriptedEngine& e) { e.connectFailure = ScanFailure::service("Error during device I/O"); });
    announceScanner("test:1");
    ASSERT_TRUE(spinUntil([&] { return m.status() == "Scanner link failed — press Preview to retry"; }));
}
