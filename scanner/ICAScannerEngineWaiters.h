#pragma once

// A waiter is a suspended caller that is resumed exactly once, with a value or a failure.
// Copies share one state: the engine keeps a copy in a list while the caller awaits its own.
// Whoever resumes takes the whole list (see takeAll) before resuming anyone, so a waiter can
// never be resumed twice, even when a device message and a timer race for it. A waiter that
// is resolved before its caller suspends simply does not suspend.

#include "scanner/ScannerEngine.h"

#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

template <class T>
class Waiter {
public:
    Waiter() : state_(std::make_shared<State>()) {}

    void succeed(T value)
    {
        if (state_->done) return;
        state_->value = std::move(value);
        finish();
    }

    void fail(const ScanFailure& failure)
    {
        if (state_->done) return;
        state_->error = std::make_exception_ptr(failure);
        finish();
    }

    bool await_ready() const noexcept { return state_->done; }
    void await_suspend(std::coroutine_handle<> handle) noexcept { state_->handle = handle; }
    T await_resume()
    {
        if (state_->error) std::rethrow_exception(state_->error);
        return std::move(*state_->value);
    }

private:
    struct State {
        std::coroutine_handle<> handle;
        std::optional<T> value;
        std::exception_ptr error;
        bool done = false;
    };

    void finish()
    {
        state_->done = true;
        if (auto handle = std::exchange(state_->handle, {})) handle.resume();
    }

    std::shared_ptr<State> state_;
};

using Signal = std::monostate;

// Empties `list` and returns what it held.
template <class W>
std::vector<W> takeAll(std::vector<W>& list)
{
    return std::exchange(list, {});
}
