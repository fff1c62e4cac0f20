#include "engine/ThreadPool.h"

#include <immintrin.h>

namespace lumenote::engine {

namespace {

constexpr int kCountBits = 20;
constexpr uint64_t kCountMask = (1ull << kCountBits) - 1;

uint64_t pack(uint32_t gen, uint32_t next, uint32_t count) {
    return (uint64_t(gen & 0xffffffu) << 40) | (uint64_t(next) << kCountBits) | count;
}
uint32_t nextOf(uint64_t s) { return uint32_t((s >> kCountBits) & kCountMask); }
uint32_t countOf(uint64_t s) { return uint32_t(s & kCountMask); }

thread_local int tlsIndex = 0;

}  // namespace

ThreadPool::ThreadPool(int threads) {
    if (threads <= 0) threads = int(std::max(1u, std::thread::hardware_concurrency()));
    for (int i = 1; i < threads; ++i) workers_.emplace_back([this, i] { workerLoop(i); });
}

ThreadPool::~ThreadPool() {
    stop_.store(true);
    wake_.fetch_add(1);
    wake_.notify_all();
    for (auto& t : workers_) t.join();
}

bool ThreadPool::runChunks() {
    bool any = false;
    uint64_t s = state_.load(std::memory_order_acquire);
    for (;;) {
        const uint32_t next = nextOf(s);
        if (next >= countOf(s)) return any;
        // The generation is part of the word, so a chunk can only be claimed for the job that
        // is current; fn_ stays valid until every claimed chunk has been counted in done_.
        if (state_.compare_exchange_weak(s, s + (1ull << kCountBits), std::memory_order_acq_rel)) {
            (*fn_)(int(next));
            done_.fetch_add(1, std::memory_order_release);
            any = true;
            s = state_.load(std::memory_order_acquire);
        }
    }
}

int ThreadPool::currentIndex() { return tlsIndex; }

void ThreadPool::workerLoop(int index) {
    tlsIndex = index;
    uint32_t seen = wake_.load();
    while (!stop_.load(std::memory_order_relaxed)) {
        // Spin a little: the decoder posts jobs back to back.
        int spins = 0;
        while (wake_.load(std::memory_order_acquire) == seen && spins < 20000) {
            _mm_pause();
            ++spins;
        }
        if (wake_.load(std::memory_order_acquire) == seen) {
            sleepers_.fetch_add(1);
            wake_.wait(seen);
            sleepers_.fetch_sub(1);
        }
        seen = wake_.load(std::memory_order_acquire);
        if (stop_.load()) break;
        runChunks();
    }
}

void ThreadPool::run(int chunks, const std::function<void(int)>& fn) {
    if (chunks <= 0) return;
    if (workers_.empty() || chunks == 1) {
        for (int i = 0; i < chunks; ++i) fn(i);
        return;
    }
    fn_ = &fn;
    done_.store(0, std::memory_order_relaxed);
    ++generation_;
    state_.store(pack(generation_, 0, uint32_t(chunks)), std::memory_order_release);
    wake_.fetch_add(1);  // seq_cst: pairs with the sleepers_ count taken before waiting
    if (sleepers_.load() > 0) wake_.notify_all();
    runChunks();
    // A worker still holds a chunk; give it the core if it was descheduled.
    for (int spins = 0; done_.load(std::memory_order_acquire) < chunks; ++spins) {
        if (spins < 4096) _mm_pause();
        else std::this_thread::yield();
    }
}

}  // namespace lumenote::engine
