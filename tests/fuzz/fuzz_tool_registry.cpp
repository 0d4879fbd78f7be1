// Builds an IMX636 tool from fuzz input (its kind, prefix and parameter
// records, valid or not), then runs a fuzzed sequence of lookups and value
// accesses through the tool interface, checking each answer against a model
// of what the registry holds and what each parameter's value is.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "CameraTool.h"
#include "camera/tools/CameraToolPrivate.h"
#include "camera/tools/ToolFactory.h"
#include "fuzz_check.h"

namespace {

using orvane::BasicParameterInfo;
using orvane::BoolParameterInfo;
using orvane::CameraTool;
using orvane::EnumParameterInfo;
using orvane::FloatParameterInfo;
using orvane::IntParameterInfo;
using orvane::ParameterEntry;
using orvane::RegisterBank;
using orvane::StringParameterInfo;
using orvane::ToolParameterType;
using orvane::ToolType;

// Mostly names from a small pool, so that lookups hit, miss by a prefix and
// collide once the tool's prefix is joined in front.
const char* const kNames[] = {"", "a", "ab", "b", "gain", "pre_gain", "enable", "mode"};
const char* const kPrefixes[] = {"", "pre_", "a"};
const char* const kKinds[] = {"Biases",           "TriggerIn", "AntiFlicker", "EventRateControl",
                              "EventTrailFilter", "ROI",       "Unknown"};
// What a parameter whose record only reads, never writes, reads back.
constexpr int32_t kUnwrittenInt = -77;
constexpr float kUnwrittenFloat = 0.25f;
constexpr bool kUnwrittenBool = true;
constexpr const char* kUnwrittenText = "unwritten";

using Value = std::variant<int32_t, float, bool, std::string>;

template <typename T, std::size_t N>
const T& pick(FuzzedDataProvider& input, const T (&pool)[N]) {
    return pool[input.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

std::string consume_name(FuzzedDataProvider& input) {
    return input.ConsumeBool() ? std::string(pick(input, kNames))
                               : input.ConsumeRandomLengthString(6);
}

// Any bit pattern: NaNs, infinities and subnormals included.
float consume_float(FuzzedDataProvider& input) {
    const uint32_t bits = input.ConsumeIntegral<uint32_t>();
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool same_float(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool same_value(const Value& a, const Value& b) {
    if (std::holds_alternative<float>(a) && std::holds_alternative<float>(b)) {
        return same_float(std::get<float>(a), std::get<float>(b));
    }
    return a == b;
}

// Stands in for the camera's registers: the callables of the records that the
// fuzzer makes keep their values here, by registry key.
using Registers = std::map<std::string, Value>;

template <typename Record, typename Stored>
void give_callables(FuzzedDataProvider& input, Record& record, const std::string& key,
                    const std::shared_ptr<Registers>& registers, const Stored& unwritten) {
    using Argument = std::decay_t<Stored>;
    if (input.ConsumeBool()) {
        record.apply_to = [registers, key](RegisterBank&, const Argument& value) {
            (*registers)[key] = value;
        };
    }
    if (input.ConsumeBool()) {
        record.read_from = [registers, key, unwritten](const RegisterBank&) -> Argument {
            const auto found = registers->find(key);
            return found == registers->end() ? unwritten : std::get<Argument>(found->second);
        };
    }
}

std::vector<std::string> consume_options(FuzzedDataProvider& input) {
    std::vector<std::string> options(input.ConsumeIntegralInRange<std::size_t>(0, 3));
    for (auto& option : options) {
        option = consume_name(input);
    }
    return options;
}

// One record of any kind, filled from the input. `kind` is the `detail`
// alternative, which may disagree with the declared type.
ParameterEntry consume_entry(FuzzedDataProvider& input, const std::string& prefix,
                             const std::shared_ptr<Registers>& registers) {
    ParameterEntry entry;
    entry.info.name = consume_name(input);
    entry.info.description = input.ConsumeRandomLengthString(8);
    entry.info.type = static_cast<ToolParameterType>(input.ConsumeIntegralInRange<int32_t>(-1, 5));
    const std::string key = prefix + entry.info.name;
    switch (input.ConsumeIntegralInRange<int>(0, 4)) {
        case 0: {
            IntParameterInfo record;
            record.min = input.ConsumeIntegral<int32_t>();
            // Narrow ranges make accepted values likely.
            record.max = input.ConsumeBool()          ? input.ConsumeIntegral<int32_t>()
                         : record.min > INT32_MAX - 9 ? INT32_MAX
                                                      : record.min + 9;
            record.default_value = input.ConsumeIntegral<int32_t>();
            record.unit = input.ConsumeRandomLengthString(3);
            give_callables(input, record, key, registers, kUnwrittenInt);
            entry.detail = record;
            break;
        }
        case 1: {
            FloatParameterInfo record;
            record.min = consume_float(input);
            record.max = consume_float(input);
            record.default_value = consume_float(input);
            give_callables(input, record, key, registers, kUnwrittenFloat);
            entry.detail = record;
            break;
        }
        case 2: {
            BoolParameterInfo record;
            record.default_value = input.ConsumeBool();
            give_callables(input, record, key, registers, kUnwrittenBool);
            entry.detail = record;
            break;
        }
        case 3: {
            EnumParameterInfo record;
            record.options = consume_options(input);
            record.default_value = consume_name(input);
            give_callables(input, record, key, registers, std::string(kUnwrittenText));
            entry.detail = record;
            break;
        }
        default: {
            StringParameterInfo record;
            record.default_value = input.ConsumeRandomLengthString(6);
            give_callables(input, record, key, registers, std::string(kUnwrittenText));
            entry.detail = record;
            break;
        }
    }
    return entry;
}

// The `detail` alternative that each declared type requires.
int expected_alternative(ToolParameterType type) {
    switch (type) {
        case ToolParameterType::INT:
            return 0;
        case ToolParameterType::FLOAT:
            return 1;
        case ToolParameterType::BOOL:
            return 2;
        case ToolParameterType::ENUM:
            return 3;
        case ToolParameterType::STRING:
            return 4;
    }
    return -1;
}

struct DefaultOf {
    Value operator()(const IntParameterInfo& r) const { return r.default_value; }
    Value operator()(const FloatParameterInfo& r) const { return r.default_value; }
    Value operator()(const BoolParameterInfo& r) const { return r.default_value; }
    Value operator()(const EnumParameterInfo& r) const { return r.default_value; }
    Value operator()(const StringParameterInfo& r) const { return r.default_value; }
};

struct ModelParameter {
    ParameterEntry entry;
    Value current;
};

// What the tool should hold: its registry by key, and each parameter's value.
struct Model {
    std::string prefix;
    std::string kind;
    std::map<std::string, ModelParameter> parameters;

    const ModelParameter* find(const std::string& name) const {
        const auto found = parameters.find(prefix + name);
        return found == parameters.end() ? nullptr : &found->second;
    }
};

// The library refuses the whole tool when any record is unusable.
bool build_model(const std::vector<ParameterEntry>& entries, Model& model) {
    if (std::find(std::begin(kKinds), std::end(kKinds) - 1, model.kind) == std::end(kKinds) - 1) {
        return false;
    }
    for (const auto& entry : entries) {
        if (static_cast<int>(entry.detail.index()) != expected_alternative(entry.info.type)) {
            return false;
        }
        const Value start = std::visit(DefaultOf{}, entry.detail);
        if (!model.parameters.emplace(model.prefix + entry.info.name, ModelParameter{entry, start})
                 .second) {
            return false;
        }
    }
    return true;
}

// What the fuzzer's read-only callables give for a register never written.
struct UnwrittenOf {
    Value operator()(const IntParameterInfo&) const { return kUnwrittenInt; }
    Value operator()(const FloatParameterInfo&) const { return kUnwrittenFloat; }
    Value operator()(const BoolParameterInfo&) const { return kUnwrittenBool; }
    Value operator()(const EnumParameterInfo&) const { return std::string(kUnwrittenText); }
    Value operator()(const StringParameterInfo&) const { return std::string(kUnwrittenText); }
};

// A parameter whose record reads its registers but never writes them keeps
// reading what they held before.
Value expected_read(const ModelParameter& parameter) {
    return std::visit(
        [&](const auto& record) {
            return record.read_from && !record.apply_to ? UnwrittenOf{}(record) : parameter.current;
        },
        parameter.entry.detail);
}

void check_all_param_info(CameraTool& tool, const Model& model) {
    std::map<std::string, BasicParameterInfo> expected;
    for (const auto& [key, parameter] : model.parameters) {
        expected[parameter.entry.info.name] = parameter.entry.info;
    }
    const auto actual = tool.getAllParamInfo();
    FUZZ_CHECK(actual.size() == expected.size());
    for (const auto& [name, info] : expected) {
        const auto found = actual.find(name);
        FUZZ_CHECK(found != actual.end());
        FUZZ_CHECK(found->second.name == info.name);
        FUZZ_CHECK(found->second.description == info.description);
        FUZZ_CHECK(found->second.type == info.type);
    }
}

bool same_callables(const IntParameterInfo& a, const IntParameterInfo& b) {
    return !a.apply_to == !b.apply_to && !a.read_from == !b.read_from;
}

bool same_record(const IntParameterInfo& a, const IntParameterInfo& b) {
    return a.min == b.min && a.max == b.max && a.default_value == b.default_value &&
           a.unit == b.unit && same_callables(a, b);
}
bool same_record(const FloatParameterInfo& a, const FloatParameterInfo& b) {
    return same_float(a.min, b.min) && same_float(a.max, b.max) &&
           same_float(a.default_value, b.default_value) && a.unit == b.unit &&
           !a.apply_to == !b.apply_to && !a.read_from == !b.read_from;
}
bool same_record(const BoolParameterInfo& a, const BoolParameterInfo& b) {
    return a.default_value == b.default_value && !a.apply_to == !b.apply_to &&
           !a.read_from == !b.read_from;
}
bool same_record(const EnumParameterInfo& a, const EnumParameterInfo& b) {
    return a.options == b.options && a.default_value == b.default_value &&
           !a.apply_to == !b.apply_to && !a.read_from == !b.read_from;
}
bool same_record(const StringParameterInfo& a, const StringParameterInfo& b) {
    return a.default_value == b.default_value && !a.apply_to == !b.apply_to &&
           !a.read_from == !b.read_from;
}

// A record the lookups must overwrite completely or not at all.
template <typename Record>
Record marked_record() {
    Record record;
    record.apply_to = [](RegisterBank&, auto) {};
    record.read_from = [](const RegisterBank&) { return decltype(record.default_value){}; };
    return record;
}

template <typename Record>
void check_param_info(CameraTool& tool, const Model& model, const std::string& name,
                      ToolParameterType type) {
    Record out = marked_record<Record>();
    const Record before = out;
    const bool ok = tool.getParamInfo(name, out);
    const ModelParameter* parameter = model.find(name);
    const bool expected = parameter != nullptr && parameter->entry.info.type == type;
    FUZZ_CHECK(ok == expected);
    FUZZ_CHECK(same_record(out, expected ? std::get<Record>(parameter->entry.detail) : before));
}

template <typename Stored>
void check_get(CameraTool& tool, const Model& model, const std::string& name, bool kind_matches) {
    Stored value{};
    const bool ok = tool.getParam(name, value);
    const ModelParameter* parameter = model.find(name);
    FUZZ_CHECK(ok == (parameter != nullptr && kind_matches));
    if (ok) {
        FUZZ_CHECK(same_value(value, expected_read(*parameter)));
    } else {
        FUZZ_CHECK(same_value(value, Stored{}));
    }
}

bool has_type(const ModelParameter* parameter, ToolParameterType type) {
    return parameter != nullptr && parameter->entry.info.type == type;
}

// Whether the library should take `value` for the parameter; it writes one
// WARN line for each refusal of a value of the right kind.
bool acceptable(const ModelParameter& parameter, const Value& value) {
    if (const auto* record = std::get_if<IntParameterInfo>(&parameter.entry.detail)) {
        const int32_t number = std::get<int32_t>(value);
        return record->min <= number && number <= record->max;
    }
    if (const auto* record = std::get_if<FloatParameterInfo>(&parameter.entry.detail)) {
        const float number = std::get<float>(value);
        return record->min <= number && number <= record->max;
    }
    if (const auto* record = std::get_if<EnumParameterInfo>(&parameter.entry.detail)) {
        const auto& text = std::get<std::string>(value);
        return std::find(record->options.begin(), record->options.end(), text) !=
               record->options.end();
    }
    return true;
}

void check_set(Model& model, const std::string& name, const Value& value, bool kind_matches,
               bool ok) {
    const auto found = model.parameters.find(model.prefix + name);
    const bool expected =
        found != model.parameters.end() && kind_matches && acceptable(found->second, value);
    FUZZ_CHECK(ok == expected);
    if (ok) {
        found->second.current = value;
    }
}

void check_tool_info(CameraTool& tool, const Model& model) {
    const auto info = tool.getToolInfo();
    const std::map<std::string, ToolType> types = {
        {"Biases", ToolType::BIAS},
        {"TriggerIn", ToolType::TRIGGER_IN},
        {"AntiFlicker", ToolType::ANTI_FLICKER},
        {"EventRateControl", ToolType::EVENT_RATE_CONTROL},
        {"EventTrailFilter", ToolType::EVENT_TRAIL_FILTER},
        {"ROI", ToolType::ROI}};
    FUZZ_CHECK(info.tool_type == types.at(model.kind));
    // These two list whatever the registry holds, prefix included.
    if (model.kind == "AntiFlicker" || model.kind == "Biases") {
        std::vector<std::string> keys;
        for (const auto& entry : model.parameters) {
            keys.push_back(entry.first);
        }
        FUZZ_CHECK(info.parameter_names == keys);
    }
}

void run_operation(FuzzedDataProvider& input, CameraTool& tool, Model& model) {
    const std::string name = consume_name(input);
    const ModelParameter* parameter = model.find(name);
    switch (input.ConsumeIntegralInRange<int>(0, 17)) {
        case 0:
            return check_all_param_info(tool, model);
        case 1:
            return check_param_info<IntParameterInfo>(tool, model, name, ToolParameterType::INT);
        case 2:
            return check_param_info<FloatParameterInfo>(tool, model, name,
                                                        ToolParameterType::FLOAT);
        case 3:
            return check_param_info<BoolParameterInfo>(tool, model, name, ToolParameterType::BOOL);
        case 4:
            return check_param_info<EnumParameterInfo>(tool, model, name, ToolParameterType::ENUM);
        case 5:
            return check_param_info<StringParameterInfo>(tool, model, name,
                                                         ToolParameterType::STRING);
        case 6:
            return check_get<int>(tool, model, name, has_type(parameter, ToolParameterType::INT));
        case 7:
            return check_get<float>(tool, model, name,
                                    has_type(parameter, ToolParameterType::FLOAT));
        case 8:
            return check_get<bool>(tool, model, name, has_type(parameter, ToolParameterType::BOOL));
        case 9:
            return check_get<std::string>(tool, model, name,
                                          has_type(parameter, ToolParameterType::ENUM) ||
                                              has_type(parameter, ToolParameterType::STRING));
        case 10: {
            const int value = input.ConsumeIntegral<int32_t>();
            return check_set(model, name, value, has_type(parameter, ToolParameterType::INT),
                             tool.setParam(name, value));
        }
        case 11: {
            const float value = consume_float(input);
            return check_set(model, name, value, has_type(parameter, ToolParameterType::FLOAT),
                             tool.setParam(name, value));
        }
        case 12: {
            // No tool takes a double: the kit's own default refuses it.
            const double value = input.ConsumeFloatingPoint<double>();
            FUZZ_CHECK(!tool.setParam(name, value));
            return;
        }
        case 13: {
            const bool value = input.ConsumeBool();
            return check_set(model, name, value, has_type(parameter, ToolParameterType::BOOL),
                             tool.setParam(name, value));
        }
        case 14:
        case 15: {
            // Enumerations are set by option text, so try the options often.
            const auto* record = parameter != nullptr
                                     ? std::get_if<EnumParameterInfo>(&parameter->entry.detail)
                                     : nullptr;
            const std::string value =
                record != nullptr && !record->options.empty() && input.ConsumeBool()
                    ? record->options[input.ConsumeIntegralInRange<size_t>(
                          0, record->options.size() - 1)]
                    : input.ConsumeRandomLengthString(6);
            const bool is_text = has_type(parameter, ToolParameterType::ENUM) ||
                                 has_type(parameter, ToolParameterType::STRING);
            if (input.ConsumeBool()) {
                return check_set(model, name, value, is_text, tool.setParam(name, value));
            }
            // As a C string the text ends at its first NUL.
            const std::string c_text = value.c_str();
            return check_set(model, name, c_text, is_text, tool.setParam(name, value.c_str()));
        }
        case 16:
            FUZZ_CHECK(!tool.setParam(name, static_cast<const char*>(nullptr)));
            return;
        default:
            return check_tool_info(tool, model);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    auto registers = std::make_shared<Registers>();
    Model model;
    model.kind = pick(input, kKinds);
    model.prefix = input.ConsumeBool() ? std::string(pick(input, kPrefixes))
                                       : input.ConsumeRandomLengthString(3);
    std::vector<ParameterEntry> entries;
    const bool library_defaults = input.ConsumeIntegralInRange<int>(0, 3) == 0;
    if (library_defaults && model.kind != "Unknown") {
        entries = orvane::default_parameters(model.kind);
    } else {
        entries.resize(input.ConsumeIntegralInRange<std::size_t>(0, 6));
        for (auto& entry : entries) {
            entry = consume_entry(input, model.prefix, registers);
        }
    }
    const bool usable = build_model(entries, model);
    std::shared_ptr<CameraTool> tool;
    try {
        tool = orvane::make_imx636_tool(model.kind, model.prefix, entries,
                                        orvane::make_register_bank());
    } catch (const std::invalid_argument&) {
        FUZZ_CHECK(!usable);
        return 0;
    }
    FUZZ_CHECK(usable);
    for (int operation = 0; operation < 64 && input.remaining_bytes() > 0; ++operation) {
        run_operation(input, *tool, model);
    }
    return 0;
}
