#pragma once

// Measures how responsive the main thread stays: a 5-ms precise timer notes how late each
// tick fires; the worst lateness is the longest stall the event loop suffered.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class StallProbe : public QObject {
public:
    explicit StallProbe(QObject* parent = nullptr);

    void stop() { timer_.stop(); }
    double worstMs() const { return double(worst_) / 1e6; }
    qint64 elapsedMs() const { return clock_.elapsed(); }
    double elapsedSeconds() const { return double(clock_.nsecsElapsed()) / 1e9; }
    qint64 ticks() const { return ticks_; }

private:
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 last_ = 0;
    qint64 worst_ = 0;
    qint64 ticks_ = 0;
};
