#include "frame_holder.h"

#include <string>
#include <unordered_map>
#include <utility>

namespace py = pybind11;

namespace orvane::python {

namespace {

using BufferExport = std::shared_ptr<py::buffer_info>;

// The exports that frames refer to, by frame. Never destroyed: frames still
// alive at interpreter exit keep their entries, and releasing an export
// after the interpreter is gone would be unsafe.
std::unordered_map<const ApsFrame*, BufferExport>& exports_by_frame() {
    static auto* exports = new std::unordered_map<const ApsFrame*, BufferExport>();
    return *exports;
}

bool is_c_contiguous_bytes(const py::buffer_info& view) {
    if (view.itemsize != 1) {
        return false;
    }
    py::ssize_t expected_stride = 1;
    for (py::ssize_t axis = view.ndim - 1; axis >= 0; --axis) {
        const py::ssize_t extent = view.shape[static_cast<std::size_t>(axis)];
        if (extent > 1 && view.strides[static_cast<std::size_t>(axis)] != expected_stride) {
            return false;
        }
        expected_stride *= extent;
    }
    return true;
}

}  // namespace

void FrameDeleter::operator()(ApsFrame* frame) const {
    // Releasing an export may run Python code that destroys other frames, so
    // the entry leaves the table first and the export goes last.
    BufferExport held;
    auto& exports = exports_by_frame();
    const auto found = exports.find(frame);
    if (found != exports.end()) {
        held = std::move(found->second);
        exports.erase(found);
    }
    delete frame;
}

FrameHolder frame_over_buffer(int32_t width, int32_t height, uint64_t start_ts, uint64_t end_ts,
                              const Buffer& external_data, uint64_t data_size, bool own_data) {
    auto view = std::make_shared<py::buffer_info>(external_data.request());
    if (!is_c_contiguous_bytes(*view)) {
        throw py::value_error("external_data must be a C-contiguous buffer of bytes");
    }
    const auto available = static_cast<uint64_t>(view->size);
    if (data_size > available) {
        throw py::value_error("data_size (" + std::to_string(data_size) +
                              ") exceeds the size of external_data (" + std::to_string(available) +
                              " bytes)");
    }
    // The frame hands its pixels out as a writeable array.
    if (!own_data && view->readonly) {
        throw py::value_error(
            "external_data is read-only; pass a writable buffer, or own_data=True to copy it");
    }
    FrameHolder frame(new ApsFrame(width, height, start_ts, end_ts,
                                   static_cast<uint8_t*>(view->ptr), data_size, own_data));
    if (!own_data && frame->data() != nullptr) {
        exports_by_frame().emplace(frame.get(), std::move(view));
    }
    return frame;
}

FrameHolder shared_copy(const ApsFrame& source) {
    FrameHolder copy(new ApsFrame(source));
    auto& exports = exports_by_frame();
    const auto found = exports.find(&source);
    if (found != exports.end()) {
        exports.emplace(copy.get(), found->second);
    }
    return copy;
}

}  // namespace orvane::python
