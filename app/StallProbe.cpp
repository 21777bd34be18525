#include "app/StallProbe.h"

StallProbe::StallProbe(QObject* parent) : QObject(parent)
{
    constexpr int periodMs = 5;
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const qint64 now = clock_.nsecsElapsed();
        const qint64 late = now - last_ - qint64(periodMs) * 1'000'000;
        if (late > worst_) {
            worst_ = late;
            worstAt_ = now;
        }
        last_ = now;
    });
    clock_.start();
    timer_.start(periodMs);
}
