#pragma once

// The threads for long jobs: detection, loading, cutting and encoding scans, rendering the
// virtual bed. Qt's global pool is left to Qt's own painting, which splits large fills and
// scalings into jobs on it and waits for them on the main thread: a JPEG encode queued there
// would hold the window still until it finished. The pool leaves one core to the main thread.

#include <QThreadPool>

#include <functional>

namespace BackgroundPool {

QThreadPool& instance();

// Threads that join a piece of work its caller is doing and waiting for: the bands of an
// image cut in parallel, the bands of a PNG compressed while later rows arrive. Kept apart
// from Qt's global pool for the same reason; every core, since the caller itself waits; a
// caller never depends on a helper starting, so a full pool only slows it down.
QThreadPool& helpers();

// Runs `job` on a helper thread, below the main thread's priority. False when no thread
// could be had.
bool startHelper(std::function<void()> job);

// Called first by every job on the pool: its thread runs at a lower priority than the main
// thread, so the window's turns of the event loop come first whenever both want a core.
void lowerThisThread();

}  // namespace BackgroundPool
