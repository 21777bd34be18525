#include "platform/sane/SaneBackend.h"

#include <sane/sane.h>

#include <sys/resource.h>
#include <unistd.h>

SaneBackend::SaneBackend() : worker_(new QObject)
{
    thread_.setObjectName("SANE");
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::started, worker_, [this] {
        // Scanning yields to the window when the machine is busy: a little nicer than the
        // main thread (Linux gives each thread its own niceness).
        setpriority(PRIO_PROCESS, id_t(::gettid()), 4);
        sane_init(nullptr, nullptr);
    });
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

SaneBackend::~SaneBackend()
{
    // sane_exit runs last on the SANE thread, after every job still queued.
    run([this] {
        sane_exit();
        thread_.quit();
    });
    thread_.wait();
}

void SaneBackend::run(std::function<void()> job)
{
    QMetaObject::invokeMethod(worker_, std::move(job), Qt::QueuedConnection);
}

void SaneBackend::post(std::function<void()> message)
{
    QMetaObject::invokeMethod(&mainContext_, std::move(message), Qt::QueuedConnection);
}
