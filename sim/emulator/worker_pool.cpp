#include "worker_pool.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

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

// Waits for `ready` under `lock`. An untimed wait would need a newer
// libstdc++ than the wheels may ask of the systems they run on.
template <typename Ready>
void sleep_until(std::condition_variable& woken, std::unique_lock<std::mutex>& lock, Ready ready) {
    while (!woken.wait_for(lock, std::chrono::seconds(1), ready)) {
    }
}

// Counts the forks this process comes from.
std::atomic<uint64_t> fork_generation{0};

void count_fork() { fork_generation.fetch_add(1); }

// The whole cores of the quota in cpu.max ("quota period", or "max"), if any.
std::optional<unsigned> quota_cores(const char* path) {
    std::ifstream file(path);
    std::string quota;
    uint64_t period = 0;
    if (!(file >> quota >> period) || quota == "max" || period == 0) {
        return std::nullopt;
    }
    const uint64_t microseconds = std::strtoull(quota.c_str(), nullptr, 10);
    return static_cast<unsigned>(std::max<uint64_t>(1, (microseconds + period - 1) / period));
}

}  // namespace

unsigned usable_cores() {
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    cpu_set_t affinity;
    if (sched_getaffinity(0, sizeof(affinity), &affinity) == 0) {
        cores = static_cast<unsigned>(std::max(1, CPU_COUNT(&affinity)));
    }
    if (const auto quota = quota_cores("/sys/fs/cgroup/cpu.max")) {
        cores = std::min(cores, *quota);
    }
    return cores;
}

WorkerPool::WorkerPool(unsigned shares)
    : meeting_(std::make_unique<Meeting>()), errors_(std::max(shares, 1u)) {
    static const int counting = pthread_atfork(nullptr, nullptr, &count_fork);
    if (counting != 0) {
        throw std::system_error(counting, std::generic_category(),
                                "cannot register the worker threads' handler of fork()");
    }
    generation_ = fork_generation.load();
    meeting_->workers.reserve(errors_.size() - 1);
    try {
        for (std::size_t worker = 1; worker < errors_.size(); ++worker) {
            meeting_->workers.emplace_back([this] { work(); });
        }
    } catch (...) {
        stop();
        throw;
    }
}

WorkerPool::~WorkerPool() {
    if (forked()) {
        // Destroying what the parent's threads waited on would wait for them for ever.
        static_cast<void>(meeting_.release());
        return;
    }
    stop();
}

bool WorkerPool::forked() const { return fork_generation.load() != generation_; }

void WorkerPool::stop() {
    {
        std::lock_guard<std::mutex> lock(meeting_->mutex);
        stopping_.store(true);
        round_.fetch_add(1);
    }
    meeting_->started.notify_all();
    for (std::thread& worker : meeting_->workers) {
        worker.join();
    }
    meeting_->workers.clear();
}

void WorkerPool::run_alone() {
    for (unsigned share = 0; share < shares(); ++share) {
        try {
            call_(context_, share);
        } catch (...) {
            errors_[share] = std::current_exception();
        }
    }
}

void WorkerPool::run_each(void (*call)(void*, unsigned), void* context) {
    for (std::exception_ptr& error : errors_) {
        error = nullptr;
    }
    call_ = call;
    context_ = context;
    if (forked()) {
        run_alone();
        for (const std::exception_ptr& error : errors_) {
            if (error) {
                std::rethrow_exception(error);
            }
        }
        return;
    }
    // Counted before any share is handed out, so that no finished share is missed.
    finished_shares_.store(0);
    next_share_.store(0);
    {
        std::lock_guard<std::mutex> lock(meeting_->mutex);
        round_.fetch_add(1);
    }
    meeting_->started.notify_all();
    take_shares();
    const auto all_finished = [this] { return finished_shares_.load() == shares(); };
    if (!poll(all_finished)) {
        std::unique_lock<std::mutex> lock(meeting_->mutex);
        sleep_until(meeting_->finished, lock, all_finished);
    }
    for (const std::exception_ptr& error : errors_) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
}

// Runs shares until none is left. A thread that wakes late finds them taken:
// on a busy machine the others do its part rather than wait for it.
void WorkerPool::take_shares() {
    for (unsigned share = next_share_.fetch_add(1); share < shares();
         share = next_share_.fetch_add(1)) {
        try {
            call_(context_, share);
        } catch (...) {
            errors_[share] = std::current_exception();
        }
        if (finished_shares_.fetch_add(1) + 1 == shares()) {
            std::lock_guard<std::mutex> lock(meeting_->mutex);
            meeting_->finished.notify_one();
        }
    }
}

void WorkerPool::work() {
    uint64_t done = 0;
    for (;;) {
        if (!poll([&] { return round_.load() != done; })) {
            std::unique_lock<std::mutex> lock(meeting_->mutex);
            sleep_until(meeting_->started, lock, [&] { return round_.load() != done; });
        }
        done = round_.load();
        if (stopping_.load()) {
            return;
        }
        take_shares();
    }
}

}  // namespace orvane::sim
