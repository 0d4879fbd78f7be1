#include "CameraTypes.h"

namespace orvane {

std::string to_string(INTERFACE_TYPE type) {
    switch (type) {
        case USB:
            return "USB";
    }
    return "UNKNOWN";
}

}  // namespace orvane
