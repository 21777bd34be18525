// The device side of the engine against a scripted device: discovery, identity, sessions,
// functional units and connect().

#include "EngineHarness.h"

TEST(EngineDiscovery, twoScannersInAnnouncementOrderFirstActiveAndOpeningOnce)
{
    EngineHarness h;
    EXPECT_EQ(h.browser->starts, 1);  // the browser starts with the engine
    auto a = h.announce("usb:1", "Alpha");
    auto b = h.announce("usb:2", "Beta");
    EXPECT_EQ(h.scannersChanged, 2);
    h.browser->add(a);  // announced again: listed once
    drain();

    const std::vector<ScannerChoice> expected{{"usb:1", "Alpha"}, {"usb:2", "Beta"}};
    EXPECT_EQ(h.engine.scannerChoices(), expected);
    EXPECT_EQ(h.engine.activeScannerID(), "usb:1");
    EXPECT_EQ(a->openRequests, 1);  // requested at once, without connect()
    EXPECT_EQ(b->openRequests, 0);
    ASSERT_TRUE(spinUntil([&] { return h.ready == 1; }));
    EXPECT_EQ(h.engine.sessionState(), ICAScannerEngine::SessionState::open);
}

TEST(EngineDiscovery, removalAdoptsTheNextAndLastRemovalLeavesNone)
{
    EngineHarness h;
    auto a = h.announce("usb:1", "Alpha");
    auto b = h.announce("usb:2", "Beta");
    h.browser->remove(a);
    ASSERT_TRUE(spinUntil([&] { return h.engine.activeScannerID() == "usb:2"; }));
    EXPECT_EQ(b->openRequests, 1);
    h.browser->remove(b);
    ASSERT_TRUE(spinUntil([&] { return h.engine.scannerChoices().empty(); }));
    EXPECT_FALSE(h.engine.activeScannerID().has_value());
    EXPECT_EQ(h.engine.sessionState(), ICAScannerEngine::SessionState::closed);
}

TEST(EngineDiscovery, namelessDeviceIdentity)
{
    EngineHarness h;
    auto nameless = h.announce("", "");
    ASSERT_TRUE(h.hasChoice("scanner-0", "Scanner 1"));
    auto named = h.announce("", "Gamma");  // no persistent id: the name serves
    EXPECT_TRUE(h.hasChoice("Gamma", "Gamma"));
    EXPECT_EQ(h.engine.activeScannerID(), "scanner-0");
    EXPECT_EQ(finish(h.engine.connect()).name, "Scanner");
}

TEST(EngineDiscovery, selectScannerSwitchesAndIgnoresUnknownActiveAndOthersMessages)
{
    EngineHarness h;
    auto a = h.announce("usb:1", "Alpha");
    auto b = h.announce("usb:2", "Beta");
    ASSERT_TRUE(spinUntil([&] { return h.ready == 1; }));
    const int changed = h.scannersChanged;

    h.engine.selectScanner("nope");
    h.engine.selectScanner("usb:1");
    // Beta is not active: its close notice must not close Alpha's session.
    a->later([&](ScannerDeviceDelegate& d) { d.didCloseSession(*b, std::nullopt); });
    drain();
    EXPECT_EQ(h.scannersChanged, changed);
    EXPECT_EQ(a->closeRequests, 0);
    EXPECT_EQ(h.engine.sessionState(), ICAScannerEngine::SessionState::open);

    h.engine.selectScanner("usb:2");
    EXPECT_EQ(h.engine.activeScannerID(), "usb:2");
    EXPECT_EQ(a->closeRequests, 1);
    EXPECT_EQ(b->openRequests, 1);
    EXPECT_EQ(h.scannersChanged, changed + 1);
    ASSERT_TRUE(spinUntil([&] { return h.ready == 2; }));
}

TEST(EngineDiscovery, buttonAndSelectRequestStartAPreview)
{
    EngineHarness h;
    auto a = h.announce("usb:1", "Alpha");
    a->sendButton();
    ASSERT_TRUE(spinUntil([&] { return h.buttons == 1; }));
    auto b = std::make_shared<ScriptedDevice>("usb:2", "Beta");
    h.browser->requestSelect(b);
    ASSERT_TRUE(spinUntil([&] { return h.buttons == 2; }));
    EXPECT_TRUE(h.hasChoice("usb:2", "Beta"));  // remembered too
}

TEST(EngineConnect, noScannerTimesOutAndOneArrivingLaterIsWaitedFor)
{
    EngineHarness none;
    const auto failure = failureOf(none.engine.connect());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->error(), ScanError::timeout);
    EXPECT_EQ(failure->description(), "Timed out waiting for the scanner");

    EngineHarness h;
    auto connect = h.engine.connect();
    h.browser->add(std::make_shared<ScriptedDevice>("usb:1", "Alpha"));
    const ScannerInfo info = finish(std::move(connect));
    EXPECT_EQ(info.name, "Alpha");
    EXPECT_EQ(info.supportedResolutions, (std::vector<int>{75, 150, 300, 600, 1200}));
    EXPECT_EQ(info.supportedBitDepths, (std::vector<int>{1, 8, 16}));
    EXPECT_EQ(info.bedSizeInches, QSizeF(8.5, 11.7));
    EXPECT_EQ(info.nativeDPI, 1200);
    EXPECT_EQ(info.functionalUnitTypes, (std::vector<int>{0}));
}

TEST(EngineConnect, twoOverlappingConnectsFinishOnOneOpenResult)
{
    EngineHarness h;
    auto a = std::make_shared<ScriptedDevice>("usb:1", "Alpha");
    a->answersOpen = false;
    h.browser->add(a);
    auto first = h.engine.connect();
    auto second = h.engine.connect();
    drain();
    EXPECT_FALSE(first.isReady());
    EXPECT_FALSE(second.isReady());
    EXPECT_EQ(a->openRequests, 1);
    a->answerOpen();
    EXPECT_FALSE(failureOf(std::move(first)));
    EXPECT_FALSE(failureOf(std::move(second)));
    EXPECT_EQ(h.ready, 1);
}

TEST(EngineConnect, sessionErrorPassesThroughAndIsRetried)
{
    EngineHarness h;
    auto a = std::make_shared<ScriptedDevice>("usb:1", "Alpha");
    a->openError = CaptureError{"Device busy"};
    h.browser->add(a);
    const auto failure = failureOf(h.engine.connect());
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->error().has_value());
    EXPECT_EQ(failure->description(), "Device busy");
    EXPECT_EQ(h.engine.sessionState(), ICAScannerEngine::SessionState::closed);

    a->openError.reset();
    EXPECT_FALSE(failureOf(h.engine.connect()));
    EXPECT_EQ(a->openRequests, 2);
}

TEST(EngineConnect, removalFailsTheOpenWaitersUnlessAnotherScannerRemains)
{
    for (const bool replacement : {false, true}) {
        EngineHarness h;
        auto a = std::make_shared<ScriptedDevice>("usb:1", "Alpha");
        a->answersOpen = false;
        h.browser->add(a);
        if (replacement) h.browser->add(std::make_shared<ScriptedDevice>("usb:2", "Beta"));
        auto connect = h.engine.connect();
        drain();
        ASSERT_FALSE(connect.isReady());
        h.browser->remove(a);
        ASSERT_TRUE(finishes(connect));
        if (replacement) {
            EXPECT_EQ(resultOf(connect).name, "Beta");
        } else {
            EXPECT_EQ(failureOf(connect)->error(), ScanError::notConnected);
        }
    }
}

TEST(EngineConnect, theFlatbedIsChosenWhereThereIsOneAndAnswers)
{
    const struct {
        std::vector<int> units;
        bool answersSelect;
        std::vector<int> selected;
        QSizeF bed;
    } cases[] = {
        {{3, 0}, true, {0}, QSizeF(8.5, 11.7)},  // switches to the flatbed
        {{3}, true, {}, QSizeF(8.5, 14)},        // no flatbed: keeps the feeder
        {{3, 0}, false, {0}, QSizeF(8.5, 14)},   // an unanswered switch gives up after the guard
        {{}, true, {}, QSizeF(8.5, 14)},         // units that never appear end the wait
    };
    for (const auto& c : cases) {
        EngineHarness h;
        auto a = std::make_shared<ScriptedDevice>("usb:1", "Alpha");
        a->unitTypes = c.units;
        a->unit = ScriptedDevice::feeder();
        a->answersSelect = c.answersSelect;
        h.browser->add(a);
        const ScannerInfo info = finish(h.engine.connect());
        EXPECT_EQ(a->selectRequests, c.selected);
        EXPECT_EQ(info.bedSizeInches, c.bed);
        EXPECT_EQ(info.functionalUnitTypes, c.units);
    }
}

TEST(EngineConnect, openSessionIsNotRequestedAgainAndDisconnectClosesAndStops)
{
    EngineHarness h;
    auto a = h.announce("usb:1", "Alpha");
    ASSERT_TRUE(spinUntil([&] { return h.ready == 1; }));
    EXPECT_FALSE(failureOf(h.engine.connect()));
    EXPECT_EQ(a->openRequests, 1);

    h.engine.disconnect();
    EXPECT_EQ(a->closeRequests, 1);
    EXPECT_EQ(h.browser->stops, 1);
    EXPECT_EQ(h.engine.sessionState(), ICAScannerEngine::SessionState::closed);
    EXPECT_EQ(h.engine.activeScannerID(), "usb:1");
    EXPECT_FALSE(failureOf(h.engine.connect()));
    EXPECT_EQ(a->openRequests, 2);
}
