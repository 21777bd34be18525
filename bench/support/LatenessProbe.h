#pragma once

// How late a 5-ms timer on the main thread fires: the longest stall of the event loop while
// a benchmark's work goes on.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

// How late a 5-ms timer on the main thread fires, from construction on.
class LatenessProbe {
public:
    LatenessProbe()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            lateness_ = std::max(lateness_, now - last_ - 5'000'000);
            last_ = now;
        });
        clock_.start();
        timer_.start(5);
    }
    void stop() { timer_.stop(); }
    qint64 elapsedMs() const { return clock_.elapsed(); }
    double elapsedSeconds() const { return double(clock_.nsecsElapsed()) / 1e9; }
    double worstMs() const { return double(lateness_) / 1e6; }

private:
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 lateness_ = 0;
    QTimer timer_;
};
