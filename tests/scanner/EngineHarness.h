#pragma once

// An engine over a scripted browser with short timings, and helpers to run its coroutines.

#include "ScriptedDevice.h"
#include "scanner/ICAScannerEngine.h"
#include "support/ScriptedEngine.h"
#include "support/TaskResults.h"

#include <gtest/gtest.h>

#include <QCoroTask>

#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>

using namespace std::chrono_literals;

inline EngineTimings shortTimings()
{
    return {std::chrono::milliseconds(60), std::chrono::milliseconds(60), std::chrono::milliseconds(2)};
}

struct EngineHarness {
    ScriptedBrowser* browser = new ScriptedBrowser;
    ICAScannerEngine engine{std::unique_ptr<DeviceBrowser>(browser), shortTimings()};
    int scannersChanged = 0;
    int ready = 0;
    int buttons = 0;

    EngineHarness()
    {
        engine.onScannersChanged = [this] { ++scannersChanged; };
        engine.onScannerReady = [this] { ++ready; };
        engine.onPreviewButtonPressed = [this] { ++buttons; };
    }

    std::shared_ptr<ScriptedDevice> announce(const QString& id, const QString& name)
    {
        auto device = std::make_shared<ScriptedDevice>(id, name);
        const size_t before = engine.scannerChoices().size();
        browser->add(device);
        spinUntil([&] { return engine.scannerChoices().size() > before; }, 2s);
        return device;
    }

    bool hasChoice(const QString& id, const QString& name) const
    {
        for (const auto& c : engine.scannerChoices())
            if (c.id == id && c.name == name) return true;
        return false;
    }
};

// Lets the event loop deliver what is queued now.
inline void drain()
{
    spinUntil([] { return false; }, 20ms);
}
