#pragma once

// The result of a coroutine that has already finished, for benchmarks. It is awaited
// directly: waiting for a finished task through an event loop would never return.

#include <QCoroTask>

#include <exception>
#include <optional>

template <class T>
T resultOfReady(QCoro::Task<T>& task)
{
    std::optional<T> value;
    std::exception_ptr error;
    auto collect = [](QCoro::Task<T>& t, std::optional<T>& v, std::exception_ptr& e) -> QCoro::Task<> {
        try {
            v = co_await t;
        } catch (...) {
            e = std::current_exception();
        }
    };
    auto done = collect(task, value, error);
    if (error) std::rethrow_exception(error);
    return std::move(*value);
}
