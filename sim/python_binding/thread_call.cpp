#include "thread_call.h"

#include <pybind11/pybind11.h>

#include <exception>
#include <stdexcept>
#include <thread>

#include "calls_in_flight.h"

namespace py = pybind11;

namespace orvane::sim::python {

void call_on_new_thread(const std::function<void()>& work) {
    // Python's own threads refuse to start then, as a new one could not
    // take the interpreter lock.
    if (orvane::python::exit_wait_over_for_this_thread()) {
        throw std::runtime_error("can't create new thread at interpreter shutdown");
    }
    std::exception_ptr failure;
    {
        orvane::python::CallInFlight in_flight;
        const py::gil_scoped_release release;
        std::thread worker([&] {
            in_flight.runs_on_this_thread();
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

}  // namespace orvane::sim::python
