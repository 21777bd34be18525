#pragma once

// The one thread that owns every SANE call. sane_init runs when the thread starts and
// sane_exit when it ends; everything in between is a job run on that thread, in the order
// posted. Results travel back through post(), which runs a function on the main thread,
// in the order posted. The main thread never waits for SANE, except when the last owner lets
// go and the thread is stopped.

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

    // Runs `job` on the SANE thread after every job posted before it.
    void run(std::function<void()> job);
    // Runs `message` on the main thread after every message posted before it.
    void post(std::function<void()> message);

private:
    QThread thread_;
    QObject* worker_;  // lives on thread_, deleted there when it finishes
    QObject mainContext_;
};
