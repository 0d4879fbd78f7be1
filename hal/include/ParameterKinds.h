#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <variant>

#include "ToolParameterInfo.h"

namespace orvane {

// One kind of tool parameter: the tag that names it, the record that
// describes it and the type its values have.
template <ToolParameterType Type, typename Record, typename Value>
struct ParameterKind {
    static constexpr ToolParameterType type = Type;
    using RecordType = Record;
    using ValueType = Value;
};

// Every kind of parameter. Whatever depends on the kind (records, values,
// names, conversions) is chosen through this list, so that a kind is added
// in one place.
using ParameterKinds =
    std::tuple<ParameterKind<ToolParameterType::INT, IntParameterInfo, int32_t>,
               ParameterKind<ToolParameterType::FLOAT, FloatParameterInfo, float>,
               ParameterKind<ToolParameterType::BOOL, BoolParameterInfo, bool>,
               ParameterKind<ToolParameterType::ENUM, EnumParameterInfo, std::string>,
               ParameterKind<ToolParameterType::STRING, StringParameterInfo, std::string>>;

template <typename Kinds>
struct RecordsOf;
template <typename... Kinds>
struct RecordsOf<std::tuple<Kinds...>> {
    using type = std::variant<typename Kinds::RecordType...>;
};

// A record of any kind; its alternatives follow ParameterKinds.
using ParameterRecord = RecordsOf<ParameterKinds>::type;

// The result of `visit` called with the kind `type` names, or `otherwise`
// when `type` names none.
template <typename Result, typename Visit>
Result visit_parameter_kind(ToolParameterType type, Visit&& visit, Result otherwise) {
    return std::apply(
        [&](auto... kinds) {
            ((kinds.type == type ? (otherwise = visit(kinds), true) : false) || ...);
            return std::move(otherwise);
        },
        ParameterKinds{});
}

// Calls `visit` with each kind in turn until it returns true; true if one did.
template <typename Visit>
bool any_parameter_kind(Visit&& visit) {
    return std::apply([&](auto... kinds) { return (visit(kinds) || ...); }, ParameterKinds{});
}

// The position of the kind `type` names in ParameterKinds (and of its record
// in ParameterRecord), or std::variant_npos.
inline std::size_t parameter_kind_index(ToolParameterType type) {
    std::size_t index = 0;
    const bool found = any_parameter_kind([&](auto kind) {
        if (kind.type == type) {
            return true;
        }
        ++index;
        return false;
    });
    return found ? index : std::variant_npos;
}

}  // namespace orvane
