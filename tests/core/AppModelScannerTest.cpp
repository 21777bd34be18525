#include "support/ModelFixture.h"

namespace {

using ScannerChoiceTest = ModelFixture;

ScannerInfo infoWith(std::vector<int> resolutions, QSizeF bed = QSizeF(8.5, 11.7))
{
    ScannerInfo i = ScriptedEngine::defaultInfo();
    i.supportedResolutions = std::move(resolutions);
    i.bedSizeInches = bed;
    return i;
}

std::vector<int> range(int first, int count, int step)
{
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(first + i * step);
    return out;
}

}  // namespace

TEST_F(ScannerChoiceTest, ResolutionOptionsFollowWhatTheScannerReports)
{
    AppModel& m = makeModel();
    EXPECT_EQ(m.resolutionOptions(), AppModel::resolutionPresets) << "no scanner yet";

    m.setInfo(infoWith({}));
    EXPECT_EQ(m.resolutionOptions(), AppModel::resolutionPresets) << "a scanner that reports none";

    m.setInfo(infoWith({75, 150, 300, 600, 1200, 2400}));
    EXPECT_EQ(m.resolutionOptions(), (std::vector<int>{150, 300, 600, 1200, 2400}));

    m.setInfo(infoWith({200, 400}));
    EXPECT_EQ(m.resolutionOptions(), (std::vector<int>{200, 400})) << "few resolutions, none a preset";

    std::vector<int> twenty = range(310, 18, 7);
    twenty.insert(twenty.begin(), 300);
    twenty.push_back(600);
    m.setInfo(infoWith(twenty));
    EXPECT_EQ(m.resolutionOptions(), (std::vector<int>{300, 600})) << "many resolutions, two presets";

    m.setInfo(infoWith(range(101, 20, 3)));
    EXPECT_EQ(m.resolutionOptions(), AppModel::resolutionPresets) << "many resolutions, no preset";
}

TEST_F(ScannerChoiceTest, SettingInfoClampsTheResolutionWithEarlierOptionsWinningTies)
{
    AppModel& m = makeModel();
    m.setInfo(infoWith({200, 400}));
    EXPECT_EQ(m.dpi(), 400) << "600 clamps to the nearest option";

    m.setInfo(infoWith({300, 600, 1200, 2400, 2401}));  // the filtered presets: 300 600 1200 2400
    m.setDpi(450);
    m.clampDPIToOptions();
    EXPECT_EQ(m.dpi(), 300) << "a tie goes to the earlier option";
    m.setDpi(500);
    m.clampDPIToOptions();
    EXPECT_EQ(m.dpi(), 600);

    m.setDpi(2400);
    m.setInfo(std::nullopt);
    EXPECT_EQ(m.dpi(), 2400) << "a preset needs no clamping";
    m.setDpi(75);
    m.setInfo(std::nullopt);
    EXPECT_EQ(m.dpi(), 100);
}

TEST_F(ScannerChoiceTest, TheFirstScannerBecomesActiveAndIsConnected)
{
    AppModel& m = makeModel();
    announceScanner("test:1", "Flatbed One");
    ASSERT_TRUE(spinUntil([&] { return m.info().has_value(); }));
    EXPECT_EQ(m.activeScannerID(), "test:1");
    EXPECT_EQ(m.scanners(), (std::vector<ScannerChoice>{{"test:1", "Flatbed One"}}));
    EXPECT_EQ(m.status(), "Test Flatbed ready — press its button or Preview");
}

TEST_F(ScannerChoiceTest, ANewListWithTheSameActiveScannerOnlyUpdatesTheList)
{
    AppModel& m = makeModel();
    announceScanner("test:1");
    ASSERT_TRUE(spinUntil([&] { return m.info().has_value(); }));
    m.setDpi(1200);
    engine->announce({"test:2", "Second"});
    ASSERT_TRUE(spinUntil([&] { return m.scanners().size() == 2; }));
    EXPECT_TRUE(m.info());
    EXPECT_EQ(m.dpi(), 1200);
    EXPECT_EQ(engine->connectCalls, 1);
}

TEST_F(ScannerChoiceTest, LosingTheOnlyScannerAtRestSaysSo)
{
    AppModel& m = makeModel();
    announceScanner("test:1");
    ASSERT_TRUE(spinUntil([&] { return m.info().has_value(); }));
    engine->remove("test:1");
    ASSERT_TRUE(spinUntil([&] { return !m.activeScannerID(); }));
    EXPECT_FALSE(m.info());
    EXPECT_EQ(m.status(), "Scanner disconnected — waiting for one to appear");
}

TEST_F(ScannerChoiceTest, LosingTheScannerDuringAScanLeavesTheStatusToTheScan)
{
    AppModel& m = makeModel();
    announceScanner("test:1");
    ASSERT_TRUE(spinUntil([&] { return m.info().has_value(); }));
    m.setBusy(true);
    m.setScannerBusy(true);
    m.setStatus("Scanning…");
    engine->remove("test:1");
    ASSERT_TRUE(spinUntil([&] { return !m.activeScannerID(); }));
    EXPECT_EQ(m.status(), "Scanning…");
}

TEST_F(ScannerChoiceTest, SwitchingIsRefusedWhileBusyAndOtherwiseGoesThroughTheEngine)
{
    AppModel& m = makeModel();
    announceScanner("test:1");
    engine->announce({"test:2", "Second"});
    ASSERT_TRUE(spinUntil([&] { return m.scanners().size() == 2 && m.info(); }));

    m.setScannerBusy(true);
    m.switchScanner("test:2");
    EXPECT_EQ(m.status(), "Finish the current scan before switching scanners.");
    spinUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_EQ(engine->activeScannerID(), "test:1");

    m.setScannerBusy(false);
    m.switchScanner("test:2");
    ASSERT_TRUE(spinUntil([&] { return m.activeScannerID() == "test:2" && m.info(); }));
    EXPECT_EQ(engine->connectCalls, 2) << "the relink connected to the new scanner";
}

TEST_F(ScannerChoiceTest, ARelinkToAnotherBedSizeDropsTheOverview)
{
    AppModel& m = makeModel();
    announceScanner("test:1");
    engine->announce({"test:2", "Second"});
    ASSERT_TRUE(spinUntil([&] { return m.scanners().size() == 2 && m.info(); }));
    m.setOverview(QImage(638, 878, QImage::Format_RGB32));

    engine->info.bedSizeInches = QSizeF(8.5, 11.7);  // the same bed
    m.switchScanner("test:2");
    ASSERT_TRUE(spinUntil([&] { return m.activeScannerID() == "test:2" && m.info(); }));
    EXPECT_FALSE(m.overview().isNull());

    engine->info.bedSizeInches = QSizeF(8.5, 14);
    m.switchScanner("test:1");
    ASSERT_TRUE(spinUntil([&] { return m.activeScannerID() == "test:1" && m.info(); }));
    EXPECT_TRUE(m.overview().isNull());
}

TEST_F(ScannerChoiceTest, AFailedRelinkAtRestInvitesARetry)
{
    AppModel& m = makeModel([](ScriptedEngine& e) { e.connectFailure = ScanFailure::service("Error during device I/O"); });
    announceScanner("test:1");
    ASSERT_TRUE(spinUntil([&] { return m.status() == "Scanner link failed — press Preview to retry"; }));
}
