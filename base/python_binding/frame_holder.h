#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>

#include "ApsFrame.h"
#include "pybind11_internals.h"

namespace orvane::python {

// An object that exports the buffer protocol, with one type hint on every
// interpreter. pybind11 names its own buffer type collections.abc.Buffer from
// Python 3.12 on and typing_extensions.Buffer before; the latter is that same
// class from 3.12 on, and type checkers know it for 3.9 too, so the docstrings
// and the typing stubs read the same whichever interpreter built the module.
class Buffer : public pybind11::buffer {
    PYBIND11_OBJECT_DEFAULT(Buffer, buffer, PyObject_CheckBuffer)
};

// Python's ownership of a frame. A frame may refer to memory exported by a
// Python object (a bytearray, say); the export is held, so that the object
// can neither free nor resize that memory, until the last frame sharing it is
// destroyed. Frames are destroyed by the interpreter's deallocation, with the
// interpreter lock held, which releasing an export requires.
struct FrameDeleter {
    void operator()(ApsFrame* frame) const;
};
using FrameHolder = std::unique_ptr<ApsFrame, FrameDeleter>;

// A frame over `external_data`, which must be a C-contiguous buffer of bytes
// holding at least `data_size` of them. With `own_data` the frame copies the
// bytes; without it the frame refers to them and holds the buffer's export.
FrameHolder frame_over_buffer(int32_t width, int32_t height, uint64_t start_ts, uint64_t end_ts,
                              const Buffer& external_data, uint64_t data_size, bool own_data);

// A copy of `source` that shares its pixels, and with them any export that
// keeps those pixels valid.
FrameHolder shared_copy(const ApsFrame& source);

}  // namespace orvane::python

ORVANE_TYPE_HINT(orvane::python::Buffer, "typing_extensions.Buffer");
