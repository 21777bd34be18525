#include "platform/sane/SaneBackend.h"

#include <QDeadlineTimer>

#include <sane/sane.h>

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <unistd.h>

namespace {

std::atomic<int> threadsLeftRunning{0};

}  // namespace

SaneBackend::SaneBackend() : state_(std::make_unique<State>())
{
    State* s = state_.get();
    s->worker = new QObject;
    s->thread.setObjectName("SANE");
    s->worker->moveToThread(&s->thread);
    QObject::connect(&s->thread, &QThread::started, s->worker, [s] {
        // Scanning yields to the window when the machine is busy: a little nicer than the
        // main thread (Linux gives each thread its own niceness).
        setpriority(PRIO_PROCESS, id_t(::gettid()), 4);
        sane_init(nullptr, nullptr);
    });
    QObject::connect(&s->thread, &QThread::finished, s->worker, &QObject::deleteLater);
    s->thread.start();
}

SaneBackend::~SaneBackend()
{
    // sane_exit runs last on the SANE thread, after every job still queued.
    State* s = state_.get();
    QMetaObject::invokeMethod(
        s->worker,
        [s] {
            sane_exit();
            s->thread.quit();
        },
        Qt::QueuedConnection);
    while (!s->thread.wait(QDeadlineTimer(10))) {
        if (s->dropping && s->waitedFor == 0) {
            // Only discovery is left, which may take seconds: the thread ends on its own,
            // and its state stays for it (the process may end first).
            (void)state_.release();
            ++threadsLeftRunning;
            return;
        }
    }
}

void SaneBackend::run(std::function<void()> job)
{
    State* s = state_.get();
    ++s->waitedFor;
    QMetaObject::invokeMethod(
        s->worker,
        [s, job = std::move(job)] {
            job();
            --s->waitedFor;
        },
        Qt::QueuedConnection);
}

void SaneBackend::runDroppable(std::function<void()> job)
{
    State* s = state_.get();
    QMetaObject::invokeMethod(s->worker, [s, job = std::move(job)] { s->droppable(job); }, Qt::QueuedConnection);
}

void SaneBackend::State::droppable(const std::function<void()>& work)
{
    dropping = true;
    work();
    dropping = false;
}

void SaneBackend::State::post(std::function<void()> message)
{
    QMetaObject::invokeMethod(&mainContext, std::move(message), Qt::QueuedConnection);
}

int SaneBackend::endProcess(int code)
{
    if (threadsLeftRunning == 0) return code;
    std::fflush(nullptr);
    std::quick_exit(code);
}
