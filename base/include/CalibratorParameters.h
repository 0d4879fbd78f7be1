#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "MatrixData.h"

namespace orvane {

// The calibration of one camera, identified by its serial number.
struct CalibratorParameters {
    std::string camera_serial;
    uint16_t dvs_cols = 0;
    uint16_t dvs_rows = 0;
    uint16_t aps_cols = 0;
    uint16_t aps_rows = 0;
    MatrixData camera_matrix;
    MatrixData dist_coeffs;
    std::map<std::string, MatrixData> affine_matrix;
    std::vector<double> rotation;
    std::vector<double> translation;
};

}  // namespace orvane
