#include "sim_records.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace orvane::sim::python {

namespace {

// The element type code of a matrix of doubles.
constexpr int32_t kDoubleElements = 6;
constexpr double kFocalLength = 1000.0;

MatrixData matrix(int32_t rows, int32_t cols, std::vector<double> data) {
    MatrixData matrix;
    matrix.rows = rows;
    matrix.cols = cols;
    matrix.type = kDoubleElements;
    matrix.data = std::move(data);
    return matrix;
}

}  // namespace

CalibratorParameters simulated_calibration(const std::string& serial, int width, int height) {
    const double centre_x = width / 2.0;
    const double centre_y = height / 2.0;
    CalibratorParameters parameters;
    parameters.camera_serial = serial;
    parameters.dvs_cols = width;
    parameters.dvs_rows = height;
    parameters.aps_cols = width;
    parameters.aps_rows = height;
    parameters.camera_matrix =
        matrix(3, 3, {kFocalLength, 0.0, centre_x, 0.0, kFocalLength, centre_y, 0.0, 0.0, 1.0});
    parameters.dist_coeffs = matrix(1, 5, {0.0, 0.0, 0.0, 0.0, 0.0});
    parameters.affine_matrix["dvs_to_aps"] = matrix(2, 3, {1.0, 0.0, 0.0, 0.0, 1.0, 0.0});
    parameters.rotation = {0.0, 0.0, 0.0};
    parameters.translation = {0.0, 0.0, 0.0};
    return parameters;
}

void HandedOutEvents::add(const Event2D* events, std::size_t count) {
    if (count == 0) {
        return;
    }
    start_t_ = count_ == 0 ? events[0].t : std::min(start_t_, events[0].t);
    end_t_ = std::max(end_t_, events[count - 1].t + 1);
    count_ += count;
}

DvsFileInfo simulated_file_info(const std::string& serial, const HandedOutEvents& events,
                                uint64_t first_frame_t, int width, int height) {
    DvsFileInfo info;
    info.start_timestamp = events.start_t();
    info.end_timestamp = events.end_t();
    info.aps_start_timestamp = first_frame_t;
    info.max_events = events.count();
    info.dvs_width = width;
    info.dvs_height = height;
    info.serial_number = serial;
    return info;
}

}  // namespace orvane::sim::python
