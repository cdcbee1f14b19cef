// Work split over the machine's threads: RunOnThreads runs one piece per
// thread, the first on the calling thread. Callers make results that do not
// depend on the number of threads.
#pragma once

#include <atomic>
#include <thread>

constexpr int kMaxWorkThreads = 8;

// The machine's threads, at most kMaxWorkThreads.
inline int MachineThreads() {
    unsigned n = std::thread::hardware_concurrency();
    return n < 1 ? 1 : n > (unsigned)kMaxWorkThreads ? kMaxWorkThreads : (int)n;
}

// The threads to use for `pixels`: one below what pays for starting threads.
inline int WorkThreads(long long pixels) {
    return pixels < (1 << 16) ? 1 : MachineThreads();
}

// work(t, n) for t = 0 .. n - 1, all at the same time: work(0, n) on the
// calling thread, each other on a thread of its own. n is `threads` (at
// most kMaxWorkThreads), or fewer when the system refuses a thread: no
// piece starts before n is known. Returns when all are done.
template <typename Work>
void RunOnThreads(int threads, const Work& work) {
    std::atomic<int> count(0);
    auto piece = [&](int t) {
        int n;
        while ((n = count.load(std::memory_order_acquire)) == 0)
            std::this_thread::yield();
        work(t, n);
    };
    std::thread pool[kMaxWorkThreads];
    int started = 1;
    for (; started < threads && started < kMaxWorkThreads; started++) {
        try {
            pool[started] = std::thread(piece, started);
        } catch (...) {  // no more threads to be had
            break;
        }
    }
    count.store(started, std::memory_order_release);
    piece(0);
    for (std::thread& t : pool)
        if (t.joinable())
            t.join();
}
