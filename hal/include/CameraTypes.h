#pragma once

#include <cstdint>
#include <string>

#include "OrvaneExport.h"

namespace orvane {

// How the camera is connected to the host.
enum INTERFACE_TYPE : uint32_t {
    USB = 0,
};

// Camera model families. There is no model with the value 1.
enum CAMERA_TYPE : uint32_t {
    TARN = 0,
    Glimra = 2,
    Pairline = 3,
    Sorel = 4,
};

// "USB" for INTERFACE_TYPE::USB, "UNKNOWN" for a value with no member.
ORVANE_EXPORT std::string to_string(INTERFACE_TYPE type);

}  // namespace orvane
