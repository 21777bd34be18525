#include "app/StallProbe.h"

#include <algorithm>

StallProbe::StallProbe(QObject* parent) : QObject(parent)
{
    constexpr int periodMs = 5;
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const qint64 now = clock_.nsecsElapsed();
        worst_ = std::max(worst_, now - last_ - qint64(periodMs) * 1'000'000);
        last_ = now;
        ++ticks_;
    });
    clock_.start();
    timer_.start(periodMs);
}
