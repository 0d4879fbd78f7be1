#include "thread_call.h"

#include <pybind11/pybind11.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace py = pybind11;

namespace orvane::sim {

namespace {

std::mutex gate_mutex;
std::condition_variable calls_changed;
int calls_in_flight = 0;
bool interpreter_exiting = false;
std::thread::id exiting_thread;

// Set on the threads that run the work of a call.
thread_local bool on_call_thread = false;

// This thread is about to be ended by the finalizing interpreter: it gives
// up the lock and waits for the end of the process.
[[noreturn]] void wait_for_process_end() {
    PyEval_SaveThread();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

// One call counted in flight. Taken and released with the interpreter lock
// held; the exit hook holds gate_mutex only without it.
class CallInFlight {
public:
    CallInFlight() {
        std::unique_lock<std::mutex> lock(gate_mutex);
        if (interpreter_exiting) {
            if (on_call_thread || std::this_thread::get_id() == exiting_thread) {
                throw std::runtime_error("can't create new thread at interpreter shutdown");
            }
            lock.unlock();
            wait_for_process_end();
        }
        ++calls_in_flight;
    }
    ~CallInFlight() {
        const std::lock_guard<std::mutex> lock(gate_mutex);
        --calls_in_flight;
        calls_changed.notify_all();
    }
    CallInFlight(const CallInFlight&) = delete;
    CallInFlight& operator=(const CallInFlight&) = delete;
};

// Runs among the interpreter's atexit calls, before it finalizes. The lock is
// released meanwhile, since the calls in flight need it to finish.
void drain_calls_at_exit() {
    const py::gil_scoped_release release;
    std::unique_lock<std::mutex> lock(gate_mutex);
    interpreter_exiting = true;
    exiting_thread = std::this_thread::get_id();
    // A timed wait, whose code the headers hold: the untimed one is a symbol
    // of GCC 12's libstdc++ that would raise the platform the wheels need.
    while (!calls_changed.wait_for(lock, std::chrono::seconds(1),
                                   [] { return calls_in_flight == 0; })) {
    }
}

}  // namespace

void call_on_new_thread(const std::function<void()>& work) {
    std::exception_ptr failure;
    {
        const CallInFlight in_flight;
        const py::gil_scoped_release release;
        std::thread worker([&] {
            on_call_thread = true;
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        });
        worker.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void register_thread_call_exit_hook() {
    py::module_::import("atexit").attr("register")(py::cpp_function(&drain_calls_at_exit));
}

}  // namespace orvane::sim
