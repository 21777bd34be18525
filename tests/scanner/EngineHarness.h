#pragma once

// An engine over a scripted browser with short timings, and helpers to run its coroutines.

#include "ScriptedDevice.h"
#include "scanner/ICAScannerEngine.h"
#include "support/ScriptedEngine.h"

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

// Runs the event loop until the task is done (at most `limit`).
template <class T>
bool finishes(const QCoro::Task<T>& task, std::chrono::milliseconds limit = 3s)
{
    return spinUntil([&] { return task.isReady(); }, limit);
}

namespace harness {
template <class T>
QCoro::Task<> collect(QCoro::Task<T>& task, std::optional<T>& value, std::exception_ptr& error)
{
    try {
        value = co_await task;
    } catch (...) {
        error = std::current_exception();
    }
}
}  // namespace harness

// The result of a finished task; its failure is rethrown. (A finished task is awaited
// directly: waiting for one through an event loop would never return.)
template <class T>
T resultOf(QCoro::Task<T>& task)
{
    std::optional<T> value;
    std::exception_ptr error;
    auto done = harness::collect(task, value, error);
    if (!done.isReady()) throw std::logic_error("the task has not finished");
    if (error) std::rethrow_exception(error);
    return std::move(*value);
}

// The failure a finished task ended with, or nullopt when it succeeded.
template <class T>
std::optional<ScanFailure> failureOf(QCoro::Task<T>& task)
{
    try {
        resultOf(task);
    } catch (const ScanFailure& failure) {
        return failure;
    }
    return std::nullopt;
}

// Lets the event loop deliver what is queued now.
inline void drain()
{
    spinUntil([] { return false; }, 20ms);
}
