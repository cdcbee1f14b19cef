// Work split over the machine's threads: RunOnThreads runs one piece per
// thread, the first on the calling thread. Callers make results that do not
// depend on the number of threads.
#pragma once

#include <thread>

constexpr int kMaxWorkThreads = 8;

// The threads to use: the machine's, at most kMaxWorkThreads, one when
// `pixels` is below what pays for starting threads.
inline int WorkThreads(long long pixels) {
    if (pixels < (1 << 16))
        return 1;
    unsigned n = std::thread::hardware_concurrency();
    return n < 1 ? 1 : n > (unsigned)kMaxWorkThreads ? kMaxWorkThreads : (int)n;
}

// work(t) for t = 0 .. threads - 1 (at most kMaxWorkThreads), all at the same
// time: work(0) on the calling thread, each other on a thread of its own.
// Returns when all are done.
template <typename Work>
void RunOnThreads(int threads, const Work& work) {
    std::thread pool[kMaxWorkThreads];
    for (int t = 1; t < threads && t < kMaxWorkThreads; t++)
        pool[t] = std::thread([&work, t] { work(t); });
    work(0);
    for (std::thread& t : pool)
        if (t.joinable())
            t.join();
}
