#include "platform/threads/BackgroundPool.h"

#include <QThread>

#include <algorithm>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

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

QThreadPool& BackgroundPool::helpers()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        return p;
    }();
    return *pool;
}

bool BackgroundPool::startHelper(std::function<void()> job)
{
    try {
        helpers().start([job = std::move(job)] {
            lowerThisThread();
            job();
        });
        return true;
    } catch (...) {
        return false;
    }
}

void BackgroundPool::lowerThisThread()
{
    thread_local const bool lowered = [] {
        constexpr int niceness = 5;
        return ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), niceness) == 0;
    }();
    (void)lowered;
}
