#pragma once

// Splitting one call's work over the cores, for the image functions. The calling thread
// takes part, helpers come from the background helper threads, and the pieces are handed out one
// at a time from a counter. A helper that gets no core (a busy machine, a pool full of other
// work) therefore costs nothing: whoever runs takes the next piece, and the call returns as
// soon as every piece is done. A helper starting after that finds the counter used up and
// leaves without touching the caller's data; it only holds the small shared state. Nothing
// outlives or is shared between calls, so calls may run on several threads at once.

#include "platform/threads/BackgroundPool.h"

#include <QSemaphore>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace WorkSharing {

namespace detail {

template <class Piece>
struct State {
    explicit State(int n, const Piece& p) : pieces(n), piece(&p) {}
    const int pieces;
    const Piece* const piece;  // only used while pieces remain, so while the caller waits
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    QSemaphore finished;  // released once, by whoever completes the last piece

    void work()
    {
        for (int i; (i = next.fetch_add(1, std::memory_order_relaxed)) < pieces;) {
            (*piece)(i);
            if (done.fetch_add(1, std::memory_order_acq_rel) + 1 == pieces) finished.release();
        }
    }
};

}  // namespace detail

// Runs piece(i) for every i in [0, pieces), each exactly once, and returns when all are
// done. At most maxHelpers threads join the calling one. piece must not throw.
template <class Piece>
void run(int pieces, int maxHelpers, const Piece& piece)
{
    if (pieces <= 0) return;
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int helpers = std::clamp(std::min(cores - 1, pieces - 1), 0, std::max(0, maxHelpers));
    if (helpers == 0) {
        for (int i = 0; i < pieces; ++i) piece(i);
        return;
    }
    const auto state = std::make_shared<detail::State<Piece>>(pieces, piece);
    // A helper not to be had leaves its share to the calling thread.
    for (int h = 0; h < helpers; ++h) BackgroundPool::startHelper([state] { state->work(); });
    state->work();
    state->finished.acquire();
}

}  // namespace WorkSharing
