#include "calls_in_flight.h"

#include <pthread.h>
#include <pybind11/pybind11.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace py = pybind11;

namespace orvane::python {

namespace {

using Clock = std::chrono::steady_clock;

std::mutex gate_mutex;
std::condition_variable calls_changed;
// The thread of each call in flight.
std::list<unsigned long> running;
bool exit_wait_over = false;
// Threads between the exit hook's gate and the interpreter lock.
int taking_lock = 0;
unsigned long exiting_thread = 0;

// Calls whose Python code runs on this thread.
thread_local int calls_on_this_thread = 0;
// The LockReleased and LockTaken scopes this thread is in: while there are
// more of the first, it does not hold the lock. Asked of the interpreter, the
// answer would be wrong once it has finalized.
thread_local int released_here = 0;
thread_local int taken_here = 0;

bool only_exiting_thread_runs() {
    for (const unsigned long thread : running) {
        if (thread != exiting_thread) {
            return false;
        }
    }
    return true;
}

// This thread is about to be ended by the finalizing interpreter: it gives
// up the lock and waits for the end of the process.
[[noreturn]] void wait_for_process_end() {
    PyEval_SaveThread();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

// The rest of the life of a thread without the interpreter lock, which the
// finalizing interpreter would end were it to take the lock.
[[noreturn]] void park_for_process_end() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

// Without the interpreter lock, before taking it: the exit hook cannot be
// over until the lock is taken and taking_lock_done() called.
void taking_lock_starts() {
    std::unique_lock<std::mutex> lock(gate_mutex);
    if (exit_wait_over && PyThread_get_thread_ident() != exiting_thread &&
        calls_on_this_thread == 0) {
        lock.unlock();
        park_for_process_end();
    }
    ++taking_lock;
}

void taking_lock_done() {
    const std::lock_guard<std::mutex> lock(gate_mutex);
    --taking_lock;
    calls_changed.notify_all();
}

// With the interpreter lock held. Each thread sees the exception when it next
// runs Python code.
void raise_in_calls() {
    std::list<unsigned long> threads;
    {
        const std::lock_guard<std::mutex> lock(gate_mutex);
        threads = running;
    }
    for (const unsigned long thread : threads) {
        if (thread != exiting_thread) {
            PyThreadState_SetAsyncExc(thread, PyExc_SystemExit);
        }
    }
}

// Runs among the interpreter's atexit calls, before it finalizes, lock held.
// The lock is released while waiting, since the calls need it to finish, and
// taken back now and then to run signal handlers: Ctrl-C shortens the grace.
void wait_for_calls() {
    {
        const std::lock_guard<std::mutex> lock(gate_mutex);
        exiting_thread = PyThread_get_thread_ident();
    }
    auto next_raise = Clock::now() + std::chrono::seconds(kExitGraceSeconds);
    for (;;) {
        bool over = false;
        {
            const py::gil_scoped_release release;
            std::unique_lock<std::mutex> lock(gate_mutex);
            // Timed waits only: the untimed one is a symbol of GCC 12's
            // libstdc++ that would raise the platform the wheels need.
            over = calls_changed.wait_for(lock, std::chrono::milliseconds(100), [] {
                return only_exiting_thread_runs() && taking_lock == 0;
            });
            exit_wait_over = over;
        }
        if (over) {
            return;
        }
        const bool interrupted = PyErr_CheckSignals() != 0;
        if (interrupted) {
            PyErr_Clear();
        }
        if (interrupted || Clock::now() >= next_raise) {
            raise_in_calls();
            next_raise = Clock::now() + std::chrono::seconds(1);
        }
    }
}

// The child of a fork() has only the thread that forked: the calls of the
// others never end there, and the gate must not stay locked.
void lock_gate() { gate_mutex.lock(); }
void unlock_gate() { gate_mutex.unlock(); }
void reset_in_child() {
    const unsigned long self = PyThread_get_thread_ident();
    running.remove_if([self](unsigned long thread) { return thread != self; });
    exit_wait_over = false;
    taking_lock = 0;
    gate_mutex.unlock();
}

}  // namespace

CallInFlight::CallInFlight() {
    std::unique_lock<std::mutex> lock(gate_mutex);
    const unsigned long self = PyThread_get_thread_ident();
    if (exit_wait_over && self != exiting_thread && calls_on_this_thread == 0) {
        lock.unlock();
        wait_for_process_end();
    }
    entry_ = running.insert(running.end(), self);
    ++calls_on_this_thread;
}

CallInFlight::~CallInFlight() {
    const std::lock_guard<std::mutex> lock(gate_mutex);
    running.erase(entry_);
    --calls_on_this_thread;
    calls_changed.notify_all();
}

void CallInFlight::runs_on_this_thread() {
    const std::lock_guard<std::mutex> lock(gate_mutex);
    *entry_ = PyThread_get_thread_ident();
    ++calls_on_this_thread;
}

LockReleased::LockReleased() : state_(PyEval_SaveThread()) { ++released_here; }

LockReleased::~LockReleased() {
    taking_lock_starts();
    PyEval_RestoreThread(state_);
    taking_lock_done();
    --released_here;
}

LockTaken::LockTaken() {
    if (released_here <= taken_here) {
        state_ = PyGILState_Ensure();
        ++taken_here;
        return;
    }
    taking_lock_starts();
    state_ = PyGILState_Ensure();
    taking_lock_done();
    ++taken_here;
}

LockTaken::~LockTaken() {
    --taken_here;
    PyGILState_Release(state_);
}

bool exit_wait_over_for_this_thread() {
    const std::lock_guard<std::mutex> lock(gate_mutex);
    return exit_wait_over &&
           (PyThread_get_thread_ident() == exiting_thread || calls_on_this_thread > 0);
}

void wait_for_calls_at_exit() {
    py::module_::import("atexit").attr("register")(py::cpp_function(&wait_for_calls));
    if (pthread_atfork(&lock_gate, &unlock_gate, &reset_in_child) != 0) {
        throw std::runtime_error("cannot register the handlers of fork()");
    }
}

}  // namespace orvane::python
