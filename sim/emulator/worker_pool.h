#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace orvane::sim {

// Threads that run one task together, each on its own share, and wait for
// the next. The calling thread takes the first share itself, so a pool of n
// shares starts n - 1 threads. The threads never touch Python.
class WorkerPool {
public:
    explicit WorkerPool(unsigned shares);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned shares() const { return static_cast<unsigned>(workers_.size()) + 1; }

    // Calls task(share) for every share at once and returns when all have
    // returned. Rethrows the exception of the lowest share that threw.
    // Allocates nothing, so that a task that must not fail can be run.
    template <typename Task>
    void run(Task& task) {
        run_each([](void* context, unsigned share) { (*static_cast<Task*>(context))(share); },
                 &task);
    }

private:
    void run_each(void (*call)(void*, unsigned), void* context);
    void stop();
    void work(unsigned share);
    void finish_share();

    std::vector<std::thread> workers_;
    std::vector<std::exception_ptr> errors_;
    void (*call_)(void*, unsigned) = nullptr;
    void* context_ = nullptr;
    // Counts the tasks handed out; a worker runs each once.
    std::atomic<uint64_t> round_{0};
    std::atomic<unsigned> pending_{0};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable started_;
    std::condition_variable finished_;
};

}  // namespace orvane::sim
