#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace orvane::sim {

// The cores this process may run on: those of its CPU affinity, no more
// than its control group's CPU quota (cgroup v2's cpu.max) allows; at least one.
unsigned usable_cores();

// Threads that run one task together, share by share, and wait for the
// next. The calling thread takes shares too, so a pool of n shares starts
// n - 1 threads. The threads never touch Python.
//
// The child of a fork() has none of the threads, and the waits it inherits
// count them: there the pool runs every share on the calling thread and
// never touches what the threads waited on.
class WorkerPool {
public:
    explicit WorkerPool(unsigned shares);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned shares() const { return static_cast<unsigned>(errors_.size()); }

    // Calls task(share) once for every share, each on whichever thread takes
    // it first, and returns when all have returned. Rethrows the exception of the lowest share that
    // threw. Allocates nothing, so that a task that must not fail can be run.
    template <typename Task>
    void run(Task& task) {
        run_each([](void* context, unsigned share) { (*static_cast<Task*>(context))(share); },
                 &task);
    }

private:
    // What the threads wait on, with the threads themselves.
    struct Meeting {
        std::vector<std::thread> workers;
        std::mutex mutex;
        std::condition_variable started;
        std::condition_variable finished;
    };

    void run_each(void (*call)(void*, unsigned), void* context);
    void run_alone();
    void stop();
    void take_shares();
    void work();
    bool forked() const;

    std::unique_ptr<Meeting> meeting_;
    // The number of forks the process had come from when the pool was made.
    uint64_t generation_;
    std::vector<std::exception_ptr> errors_;
    void (*call_)(void*, unsigned) = nullptr;
    void* context_ = nullptr;
    // Counts the tasks handed out; a worker joins each once.
    std::atomic<uint64_t> round_{0};
    // The next share of the task to take, and how many have returned.
    std::atomic<unsigned> next_share_{0};
    std::atomic<unsigned> finished_shares_{0};
    std::atomic<bool> stopping_{false};
};

}  // namespace orvane::sim
