#pragma once

#include <cstdint>

#include "ToolParameterInfo.h"

namespace orvane {

// Gives a record callables that keep its value in the register at `address`.
void bind_register(IntParameterInfo& info, uint32_t address);
void bind_register(FloatParameterInfo& info, uint32_t address);
void bind_register(BoolParameterInfo& info, uint32_t address);
// An option is stored as its index in `info.options`.
void bind_register(EnumParameterInfo& info, uint32_t address);

}  // namespace orvane
