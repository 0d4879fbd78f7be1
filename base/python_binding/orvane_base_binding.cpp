#include "orvane_base_binding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/typing.h>

#include <cstdint>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ApsFrame.h"
#include "CalibratorParameters.h"
#include "DvsFileInfo.h"
#include "Event2D.h"
#include "EventTriggerIn.h"
#include "LogLevelType.h"
#include "Logger.h"
#include "MatrixData.h"
#include "PrintableText.h"
#include "frame_holder.h"
#include "python_values.h"

namespace py = pybind11;

namespace orvane::python {

namespace {

void register_events(py::module_& m) {
    py::class_<Event2D>(m, "Event2D")
        .def_readwrite("x", &Event2D::x)
        .def_readwrite("y", &Event2D::y)
        .def_readwrite("p", &Event2D::p)
        .def_readwrite("t", &Event2D::t);
    PYBIND11_NUMPY_DTYPE_EX(Event2D, x, "x", y, "y", p, "polarity", t, "timestamp");

    py::class_<EventTriggerIn>(m, "EventTriggerIn")
        .def_readwrite("id", &EventTriggerIn::id)
        .def_readwrite("polarity", &EventTriggerIn::polarity)
        .def_readwrite("timestamp", &EventTriggerIn::timestamp);
    PYBIND11_NUMPY_DTYPE(EventTriggerIn, id, polarity, timestamp);
}

// A view of the frame's pixels that keeps the frame object alive.
py::array_t<uint8_t> frame_pixels(ApsFrame& frame) {
    const int32_t width = frame.width();
    const int32_t height = frame.height();
    uint8_t* data = frame.data();
    if (data == nullptr) {
        throw std::runtime_error("ApsFrame data pointer is null.");
    }
    const uint64_t needed =
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * uint64_t{3};
    if (frame.getDataSize() < needed) {
        throw py::value_error("ApsFrame buffer holds " + std::to_string(frame.getDataSize()) +
                              " bytes, fewer than the " + std::to_string(width) + " x " +
                              std::to_string(height) + " x 3 = " + std::to_string(needed) +
                              " its geometry needs");
    }
    // Python owns every frame the binding sees, so this finds the very
    // object the method was called on.
    const py::object owner = py::cast(&frame, py::return_value_policy::reference);
    return py::array_t<uint8_t>({py::ssize_t{height}, py::ssize_t{width}, py::ssize_t{3}},
                                {py::ssize_t{3} * width, py::ssize_t{3}, py::ssize_t{1}}, data,
                                owner);
}

void register_aps_frame(py::module_& m) {
    py::class_<ApsFrame, FrameHolder>(m, "ApsFrame")
        .def(py::init<int32_t, int32_t, uint64_t, uint64_t>(), py::arg("width") = 3840,
             py::arg("height") = 2160, py::arg("start_ts") = 0, py::arg("end_ts") = 0)
        .def(py::init(&frame_over_buffer), py::arg("width"), py::arg("height"), py::arg("start_ts"),
             py::arg("end_ts"), py::arg("external_data"), py::arg("data_size"),
             py::arg("own_data") = false)
        .def(py::init(&shared_copy), py::arg("other"))
        .def(
            "data",
            [](ApsFrame& frame) -> std::optional<uint8_t> {
                const uint8_t* data = frame.data();
                if (data == nullptr) {
                    return std::nullopt;
                }
                return *data;
            },
            "Returns a pointer to the raw pixel data (as uint8_t*). Use with caution.")
        .def("data_numpy", &frame_pixels,
             "Returns the image data as a read-only numpy array with shape (H, W, 3) in RGB888 "
             "format.")
        .def("get_data_size", &ApsFrame::getDataSize)
        .def("width", &ApsFrame::width)
        .def("height", &ApsFrame::height)
        .def_readwrite("exposure_start_timestamp", &ApsFrame::exposure_start_timestamp)
        .def_readwrite("exposure_end_timestamp", &ApsFrame::exposure_end_timestamp)
        .def("clone", &ApsFrame::clone);
}

std::string matrix_repr(const MatrixData& matrix) {
    std::ostringstream text;
    text << "MatrixData(" << matrix.rows << "x" << matrix.cols << ", type=" << matrix.type
         << ", data_len=" << matrix.data.size() << ")";
    return text.str();
}

std::string calibration_repr(const CalibratorParameters& parameters) {
    std::ostringstream text;
    text << "CalibratorParameters(camera_serial='" << parameters.camera_serial
         << "', dvs=" << parameters.dvs_cols << "x" << parameters.dvs_rows
         << ", aps=" << parameters.aps_cols << "x" << parameters.aps_rows << ")";
    return text.str();
}

// A new dict of copies: handing out references into the map would leave
// them dangling once the map changes.
py::typing::Dict<std::string, MatrixData> affine_matrices_to_dict(
    const CalibratorParameters& parameters) {
    py::typing::Dict<std::string, MatrixData> matrices;
    for (const auto& entry : parameters.affine_matrix) {
        matrices[py::str(entry.first)] = py::cast(entry.second, py::return_value_policy::copy);
    }
    return matrices;
}

std::map<std::string, MatrixData> affine_matrices_from(const py::handle& value) {
    const std::string what = "CalibratorParameters.affine_matrix";
    if (!py::isinstance<py::dict>(value)) {
        throw py::type_error(what + " must be a dict of str to MatrixData, not " +
                             type_name(value));
    }
    std::map<std::string, MatrixData> matrices;
    for (const auto item : py::reinterpret_borrow<py::dict>(value)) {
        std::string name = text_from(item.first, what + " key");
        if (!py::isinstance<MatrixData>(item.second)) {
            throw py::type_error(what + "['" + printable_text(name) +
                                 "'] must be a MatrixData, not " + type_name(item.second));
        }
        if (!matrices.emplace(name, item.second.cast<const MatrixData&>()).second) {
            throw py::value_error(what + " names '" + printable_text(name) + "' twice");
        }
    }
    return matrices;
}

void register_calibration(py::module_& m) {
    py::class_<MatrixData>(m, "MatrixData")
        .def(py::init<>())
        .def_readwrite("rows", &MatrixData::rows)
        .def_readwrite("cols", &MatrixData::cols)
        .def_readwrite("type", &MatrixData::type)
        .def_property(
            "data", [](const MatrixData& matrix) { return numbers_to_list(matrix.data); },
            [](MatrixData& matrix, const py::handle& values) {
                matrix.data = numbers_from(values, "MatrixData.data");
            })
        .def("__repr__", &matrix_repr)
        .def("__str__", [](const MatrixData& matrix) {
            return py::str("MatrixData({}x{}, type={})")
                .format(matrix.rows, matrix.cols, matrix.type);
        });

    py::class_<CalibratorParameters>(m, "CalibratorParameters")
        .def(py::init<>())
        .def_readwrite("camera_serial", &CalibratorParameters::camera_serial)
        .def_readwrite("dvs_cols", &CalibratorParameters::dvs_cols)
        .def_readwrite("dvs_rows", &CalibratorParameters::dvs_rows)
        .def_readwrite("aps_cols", &CalibratorParameters::aps_cols)
        .def_readwrite("aps_rows", &CalibratorParameters::aps_rows)
        .def_readwrite("camera_matrix", &CalibratorParameters::camera_matrix)
        .def_readwrite("dist_coeffs", &CalibratorParameters::dist_coeffs)
        .def_property("affine_matrix", &affine_matrices_to_dict,
                      [](CalibratorParameters& parameters, const py::handle& value) {
                          parameters.affine_matrix = affine_matrices_from(value);
                      })
        .def_property(
            "rotation",
            [](const CalibratorParameters& parameters) {
                return numbers_to_list(parameters.rotation);
            },
            [](CalibratorParameters& parameters, const py::handle& values) {
                parameters.rotation = numbers_from(values, "CalibratorParameters.rotation");
            })
        .def_property(
            "translation",
            [](const CalibratorParameters& parameters) {
                return numbers_to_list(parameters.translation);
            },
            [](CalibratorParameters& parameters, const py::handle& values) {
                parameters.translation = numbers_from(values, "CalibratorParameters.translation");
            })
        .def("__repr__", &calibration_repr);
}

void register_file_info(py::module_& m) {
    py::class_<DvsFileInfo>(m, "DvsFileInfo")
        .def(py::init<>())
        .def_readwrite("start_timestamp", &DvsFileInfo::start_timestamp)
        .def_readwrite("end_timestamp", &DvsFileInfo::end_timestamp)
        .def_readwrite("aps_start_timestamp", &DvsFileInfo::aps_start_timestamp)
        .def_readwrite("max_events", &DvsFileInfo::max_events)
        .def_readwrite("dvs_width", &DvsFileInfo::dvs_width)
        .def_readwrite("dvs_height", &DvsFileInfo::dvs_height)
        .def_readwrite("serial_number", &DvsFileInfo::serial_number)
        .def("__repr__", [](const DvsFileInfo& info) {
            return "DvsFileInfo(start_timestamp=" + std::to_string(info.start_timestamp) +
                   ", serial_number='" + info.serial_number + "')";
        });
}

// The source lines that log lines from Python report, one per entry point.
// Log readers and filters key on them, so they stay fixed whatever this file
// looks like.
constexpr int kLoggerLogLine = 151;
constexpr int kLoggerTraceLine = 154;
constexpr int kLoggerDebugLine = 157;
constexpr int kLoggerInfoLine = 160;
constexpr int kLoggerWarnLine = 163;
constexpr int kLoggerErrorLine = 166;
constexpr int kLoggerFatalLine = 169;
constexpr int kLogTraceLine = 177;
constexpr int kLogDebugLine = 180;
constexpr int kLogInfoLine = 183;
constexpr int kLogWarnLine = 186;
constexpr int kLogErrorLine = 189;
constexpr int kLogFatalLine = 192;

// The module's one logger, created on first use and destroyed at exit.
Logger& module_logger() {
    static Logger logger;
    return logger;
}

// A message from Python is always the argument of "%s", so a '%' in it is
// printed, never interpreted.
void log_message(Logger& logger, LogLevelType level, int line, const std::string& message) {
    logger.log_(level, __FILE__, line, "%s", message.c_str());
}

// A Logger method that logs at a fixed level from a fixed line.
template <LogLevelType Level, int Line>
void log_at(Logger& logger, const std::string& message) {
    log_message(logger, Level, Line, message);
}

// A module function that logs through the module's logger.
template <LogLevelType Level, int Line>
void log_through_module_logger(const std::string& message) {
    log_message(module_logger(), Level, Line, message);
}

void register_logging(py::module_& m) {
    py::enum_<LogLevelType>(m, "LogLevelType")
        .value("TRACE", LogLevelType::TRACE)
        .value("DEBUG", LogLevelType::DEBUG)
        .value("INFO", LogLevelType::INFO)
        .value("WARN", LogLevelType::WARN)
        .value("ERR", LogLevelType::ERR)
        .value("FATAL", LogLevelType::FATAL)
        .export_values();

    py::class_<Logger>(m, "Logger")
        .def("setLogLevel", &Logger::setLogLevel)
        .def("getLogLevel", [](const Logger& logger) { return logger.getLogLevel(); })
        .def("log",
             [](Logger& logger, LogLevelType level, const std::string& message) {
                 log_message(logger, level, kLoggerLogLine, message);
             })
        .def("trace", &log_at<LogLevelType::TRACE, kLoggerTraceLine>)
        .def("debug", &log_at<LogLevelType::DEBUG, kLoggerDebugLine>)
        .def("info", &log_at<LogLevelType::INFO, kLoggerInfoLine>)
        .def("warn", &log_at<LogLevelType::WARN, kLoggerWarnLine>)
        .def("error", &log_at<LogLevelType::ERR, kLoggerErrorLine>)
        .def("fatal", &log_at<LogLevelType::FATAL, kLoggerFatalLine>);

    m.def("getLogger", &module_logger, py::return_value_policy::reference);

    m.def("log_trace", &log_through_module_logger<LogLevelType::TRACE, kLogTraceLine>);
    m.def("log_debug", &log_through_module_logger<LogLevelType::DEBUG, kLogDebugLine>);
    m.def("log_info", &log_through_module_logger<LogLevelType::INFO, kLogInfoLine>);
    m.def("log_warn", &log_through_module_logger<LogLevelType::WARN, kLogWarnLine>);
    m.def("log_error", &log_through_module_logger<LogLevelType::ERR, kLogErrorLine>);
    m.def("log_fatal", &log_through_module_logger<LogLevelType::FATAL, kLogFatalLine>);
}

}  // namespace

void register_base(py::module_& m) {
    // Building a NumPy type loads NumPy's array interface. Doing so before
    // the first registration means that an import failing for want of NumPy
    // leaves no class behind, and importing again once NumPy is there works.
    py::dtype::of<uint8_t>();
    register_events(m);
    register_aps_frame(m);
    register_calibration(m);
    register_file_info(m);
    register_logging(m);
}

}  // namespace orvane::python
