// Stopping the SANE thread: it waits for jobs on open devices, never for discovery alone.

#include "SaneTestSupport.h"

#include "platform/sane/SaneBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

TEST(SaneBackendStop, leavesARunningDiscoveryButWaitsForAJobQueuedBehindIt)
{
    useTestBackend();
    for (const bool jobBehind : {false, true}) {
        auto backend = std::make_unique<SaneBackend>();
        // Stands in for a discovery call that hangs on a slow network backend; released
        // only from here (or by the watchdog, long after any sound stop).
        auto release = std::make_shared<std::promise<void>>();
        std::shared_future<void> released = release->get_future().share();
        auto started = std::make_shared<std::promise<void>>();
        SaneBackend::State* thread = backend->state();
        backend->runDroppable([thread, released, started] {
            thread->droppable([&] {
                started->set_value();
                released.wait();
            });
        });
        auto ranBehind = std::make_shared<std::atomic<bool>>(false);
        if (jobBehind) backend->run([ranBehind] { *ranBehind = true; });
        started->get_future().wait();

        // Releases the call after a moment when a job waits behind it; otherwise once the
        // stop is over (or, should it hang, after a long while).
        std::promise<void> stopOver;
        std::future<void> over = stopOver.get_future();
        std::atomic<bool> releasedFirst{false};
        std::thread releaser([&] {
            over.wait_for(jobBehind ? 50ms : 20s);
            if (over.wait_for(0s) != std::future_status::ready) releasedFirst = true;
            release->set_value();
        });
        backend.reset();
        stopOver.set_value();
        EXPECT_EQ(releasedFirst.load(), jobBehind) << (jobBehind ? "with" : "without") << " a job behind";
        EXPECT_EQ(ranBehind->load(), jobBehind);
        releaser.join();
    }
}
