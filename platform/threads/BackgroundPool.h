#pragma once

// The threads for long jobs: detection, loading, cutting and encoding scans, rendering the
// virtual bed. Qt's global pool is left to Qt's own painting, which splits large fills and
// scalings into jobs on it and waits for them on the main thread: a JPEG encode queued there
// would hold the window still until it finished. The pool leaves one core to the main thread.

#include <QThreadPool>

namespace BackgroundPool {

QThreadPool& instance();

// Called first by every job on the pool: its thread runs at a lower priority than the main
// thread, so the window's turns of the event loop come first whenever both want a core.
void lowerThisThread();

}  // namespace BackgroundPool
