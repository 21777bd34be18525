#pragma once

// Results of engine coroutines in tests. A finished task is awaited directly: waiting for one
// through an event loop would never return.

#include "scanner/ScannerEngine.h"
#include "support/ScriptedEngine.h"

#include <QCoroTask>

#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>

namespace taskresults {
template <class T>
QCoro::Task<> collect(QCoro::Task<T>& task, std::optional<T>& value, std::exception_ptr& error)
{
    try {
        value = co_await task;
    } catch (...) {
        error = std::current_exception();
    }
}
}  // namespace taskresults

// Runs the event loop until the task is done (at most `limit`).
template <class T>
bool finishes(const QCoro::Task<T>& task, std::chrono::milliseconds limit = std::chrono::seconds(3))
{
    return spinUntil([&] { return task.isReady(); }, limit);
}

// The result of a finished task; its failure is rethrown.
template <class T>
T resultOf(QCoro::Task<T>& task)
{
    std::optional<T> value;
    std::exception_ptr error;
    auto done = taskresults::collect(task, value, error);
    if (!done.isReady()) throw std::logic_error("the task has not finished");
    if (error) std::rethrow_exception(error);
    return std::move(*value);
}

// Runs the event loop until the task has finished, then gives its result or rethrows.
template <class T>
T finish(QCoro::Task<T>&& task, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    if (!finishes(task, limit)) throw std::runtime_error("the task did not finish");
    return resultOf(task);
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

// The same for a task still running: it is first run to its end.
template <class T>
std::optional<ScanFailure> failureOf(QCoro::Task<T>&& task)
{
    try {
        finish(std::move(task));
    } catch (const ScanFailure& failure) {
        return failure;
    }
    return std::nullopt;
}
