#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "CameraTypes.h"

namespace orvane {

// Identity of one camera. The members after interfaceType belong to the kit
// (the bindings never read them) but are part of the record's layout.
struct CameraDescription {
    std::string serial;
    std::string product;
    std::string manufacturer;
    uint16_t vid = 0;
    uint16_t pid = 0;
    INTERFACE_TYPE interfaceType = USB;
    std::string plugin_name;
    std::string sensor_name;
    std::string firmware_version;
    std::string fpga_version;
    uint64_t system_id = 0;
    std::string connection_path;
};

static_assert(offsetof(CameraDescription, pid) == offsetof(CameraDescription, vid) + 2,
              "vid and pid are adjacent");
static_assert(offsetof(CameraDescription, interfaceType) ==
                  offsetof(CameraDescription, pid) + sizeof(uint16_t),
              "interfaceType follows pid");

}  // namespace orvane
