#pragma once

// A small fork-join pool for the decoder's per-token work. The calling thread takes part; work is
// handed out in chunks from a shared counter, so a worker that the OS has descheduled only
// delays the chunk it already holds. Idle workers spin briefly, then sleep.

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace lumenote::engine {

class ThreadPool {
public:
    // `threads` counts the caller: 1 means no worker threads. 0 means one per hardware thread.
    explicit ThreadPool(int threads = 0);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    int size() const { return int(workers_.size()) + 1; }
    // Inside run(): 0 on the calling thread, 1..size()-1 on the workers. Lets jobs use
    // per-thread scratch space.
    static int currentIndex();

    // Calls fn(chunk) for every chunk in [0, chunks) across the pool and returns when all are
    // done. Not reentrant; one caller at a time.
    void run(int chunks, const std::function<void(int)>& fn);

private:
    void workerLoop(int index);
    bool runChunks();

    std::vector<std::thread> workers_;
    // generation (24 bits) | next chunk (20 bits) | chunk count (20 bits)
    std::atomic<uint64_t> state_{0};
    std::atomic<int> done_{0};
    std::atomic<uint32_t> wake_{0};
    std::atomic<int> sleepers_{0};
    std::atomic<bool> stop_{false};
    const std::function<void(int)>* fn_ = nullptr;
    uint32_t generation_ = 0;
};

}  // namespace lumenote::engine
