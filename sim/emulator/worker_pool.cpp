#include "worker_pool.h"

#include <algorithm>
#include <chrono>

namespace orvane::sim {

namespace {

// The tasks of a step follow each other within microseconds: a thread polls
// this long before it sleeps, since waking a sleeping thread costs as much.
constexpr auto kPollFor = std::chrono::microseconds(200);

// Polls `ready` for a while, yielding the core; true when it came.
template <typename Ready>
bool poll(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + kPollFor;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

}  // namespace

WorkerPool::WorkerPool(unsigned shares) : errors_(std::max(shares, 1u)) {
    workers_.reserve(errors_.size() - 1);
    try {
        for (unsigned share = 1; share < errors_.size(); ++share) {
            workers_.emplace_back([this, share] { work(share); });
        }
    } catch (...) {
        stop();
        throw;
    }
}

WorkerPool::~WorkerPool() { stop(); }

void WorkerPool::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_.store(true);
        round_.fetch_add(1);
    }
    started_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
    workers_.clear();
}

void WorkerPool::run_each(void (*call)(void*, unsigned), void* context) {
    for (std::exception_ptr& error : errors_) {
        error = nullptr;
    }
    call_ = call;
    context_ = context;
    pending_.store(static_cast<unsigned>(workers_.size()));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        round_.fetch_add(1);
    }
    started_.notify_all();
    try {
        call(context, 0);
    } catch (...) {
        errors_[0] = std::current_exception();
    }
    if (!poll([this] { return pending_.load() == 0; })) {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return pending_.load() == 0; });
    }
    for (const std::exception_ptr& error : errors_) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
}

void WorkerPool::work(unsigned share) {
    uint64_t done = 0;
    for (;;) {
        if (!poll([&] { return round_.load() != done; })) {
            std::unique_lock<std::mutex> lock(mutex_);
            started_.wait(lock, [&] { return round_.load() != done; });
        }
        done = round_.load();
        if (stopping_.load()) {
            return;
        }
        try {
            call_(context_, share);
        } catch (...) {
            errors_[share] = std::current_exception();
        }
        finish_share();
    }
}

void WorkerPool::finish_share() {
    if (pending_.fetch_sub(1) == 1) {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_.notify_one();
    }
}

}  // namespace orvane::sim
