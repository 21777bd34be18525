#pragma once

// Measures how responsive the main thread stays: a 5-ms precise timer notes how late each
// tick fires; the worst lateness is the longest stall the event loop suffered.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class StallProbe : public QObject {
public:
    explicit StallProbe(QObject* parent = nullptr);

    void stop()
    {
        if (!timer_.isActive()) return;
        timer_.stop();
        stoppedAt_ = clock_.nsecsElapsed();
    }
    double worstMs() const { return double(worst_) / 1e6; }
    qint64 elapsedMs() const { return clock_.elapsed(); }
    // Seconds from the start until now, or until the probe was stopped.
    double elapsedSeconds() const { return double(timer_.isActive() ? clock_.nsecsElapsed() : stoppedAt_) / 1e9; }
    // When the worst stall ended, in seconds from the start.
    double worstAtSeconds() const { return double(worstAt_) / 1e9; }

private:
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 last_ = 0;
    qint64 worst_ = 0;
    qint64 worstAt_ = 0;
    qint64 stoppedAt_ = 0;
};
