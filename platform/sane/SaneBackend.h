#pragma once

// The one thread that owns every SANE call. sane_init runs when the thread starts and
// sane_exit when it ends; everything in between is a job run on that thread, in the order
// posted. Results travel back through post(), which runs a function on the main thread,
// in the order posted. The main thread never waits for SANE, except when the last owner lets
// go and the thread is stopped, and then not for device discovery: while a discovery call
// runs and no other job waits behind it, the thread is left to end on its own (its state
// kept alive for it), so that quitting is not held by a slow network backend.

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

class SaneBackend {
public:
    // Created on the main thread.
    SaneBackend();
    ~SaneBackend();
    SaneBackend(const SaneBackend&) = delete;
    SaneBackend& operator=(const SaneBackend&) = delete;

    // Runs `job` on the SANE thread after every job posted before it. Stopping the thread
    // waits for it.
    void run(std::function<void()> job);
    // The same for a job that stopping the thread need not wait for (starting or stopping
    // discovery): one that touches no open device.
    void runDroppable(std::function<void()> job);
    // Runs `message` on the main thread after every message posted before it.
    void post(std::function<void()> message) { state_->post(std::move(message)); }

    // What a job on the SANE thread may hold on to: it lasts as long as the thread, even when
    // the backend has been destroyed and has left the thread to end on its own.
    struct State {
        QThread thread;
        QObject* worker = nullptr;  // lives on thread, deleted there when it finishes
        QObject mainContext;
        std::atomic<int> waitedFor{0};  // jobs from run() not yet finished
        std::atomic<bool> dropping{false};

        void post(std::function<void()> message);
        // On the SANE thread: runs `work` now, marked as work that stopping need not wait for.
        void droppable(const std::function<void()>& work);
    };
    State* state() const { return state_.get(); }

    // What main() returns, given the program's exit code. When a SANE thread was left to
    // finish discovery on its own, the process ends here instead (std::quick_exit, after
    // flushing output): static destructors would pull Qt and the SANE backends from under
    // that thread.
    static int endProcess(int code);

private:
    std::unique_ptr<State> state_;
};
