// Stopping the SANE thread: it waits for jobs on open devices, never for discovery alone,
// and a process that leaves discovery running ends at once, cleaning up after itself.

#include "SaneTestSupport.h"

#include "platform/files/ScratchFolder.h"
#include "platform/sane/SaneBackend.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
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

TEST(SaneBackendStop, AProcessLeavingDiscoveryRunningEndsAtOnceAndRemovesItsScratchFolder)
{
    useTestBackend();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs this test again from the start: the file's name comes from the parent.
    QTemporaryDir dir;
    if (!qEnvironmentVariableIsSet("BIVARA_TEST_SCRATCH_TOLD")) qputenv("BIVARA_TEST_SCRATCH_TOLD", dir.filePath("scratch").toUtf8());
    const QString told = qEnvironmentVariable("BIVARA_TEST_SCRATCH_TOLD");
    EXPECT_EXIT(
        {
            {
                QFile out(told);
                if (!out.open(QIODevice::WriteOnly)) std::exit(1);
                out.write(ScratchFolder::path().toUtf8());
            }
            auto backend = std::make_unique<SaneBackend>();
            std::promise<void> started;
            SaneBackend::State* thread = backend->state();
            backend->runDroppable([thread, &started] {
                thread->droppable([&] {
                    started.set_value();
                    std::this_thread::sleep_for(1h);  // a discovery that never ends
                });
            });
            started.get_future().wait();
            backend.reset();
            std::exit(SaneBackend::endProcess(0) == 0 ? 1 : 2);  // endProcess must not return
        },
        ::testing::ExitedWithCode(0), "");
    QFile in(told);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QString scratch = QString::fromUtf8(in.readAll());
    ASSERT_FALSE(scratch.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(scratch)) << qPrintable(scratch);
}
