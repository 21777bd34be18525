#pragma once

// The threads for long jobs: detection, loading, cutting and encoding scans, rendering the
// virtual bed. Qt's global pool is left to Qt's own painting, which splits large fills and
// scalings into jobs on it and waits for them on the main thread: a JPEG encode queued there
// would hold the window still until it finished. The pool leaves one core to the main thread.

#include <QThreadPool>

namespace BackgroundPool {

QThreadPool& instance();

}  // namespace BackgroundPool
