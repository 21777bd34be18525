#include "platform/threads/BackgroundPool.h"

#include <QThread>

#include <algorithm>

QThreadPool& BackgroundPool::instance()
{
    // One core stays with the main thread: with every core busy encoding, the window's own
    // turns of the event loop would wait for the scheduler (stalls of 100 ms and more on a
    // two-core machine during a save).
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
        return p;
    }();
    return *pool;
}
