#include <string>

#include "camera/tools/CameraToolPrivate.h"
#include "check.h"

namespace {

using orvane::BoolParameterInfo;
using orvane::IntParameterInfo;
using orvane::ParameterEntry;
using orvane::ToolParameterType;

class RegistryTool : public orvane::CameraToolBasePrivate {
public:
    using CameraToolBasePrivate::CameraToolBasePrivate;
    orvane::ToolInfo getToolInfo() override { return {}; }

    void add(const std::string& name, ToolParameterType type, ParameterEntry entry) {
        entry.info.name = name;
        entry.info.type = type;
        param_map[param_prefix + name] = entry;
    }
};

ParameterEntry int_entry(int32_t min, int32_t max) {
    IntParameterInfo info;
    info.min = min;
    info.max = max;
    info.unit = "us";
    info.read_from = [](const orvane::RegisterBank&) { return 7; };
    ParameterEntry entry;
    entry.detail = info;
    return entry;
}

// A record whose contents, callables included, show whether a lookup touched it.
IntParameterInfo marked_int_record() {
    IntParameterInfo out;
    out.min = -3;
    out.unit = "marker";
    out.apply_to = [](orvane::RegisterBank&, int32_t) {};
    return out;
}

void test_absent_key_logs_once_with_prefix_and_leaves_out() {
    RegistryTool tool("pre_");
    tool.add("gain", ToolParameterType::INT, int_entry(0, 10));
    IntParameterInfo out = marked_int_record();
    check::StderrCapture capture;
    CHECK(!tool.getParamInfo("other", out));
    const std::string text = capture.text();
    CHECK(check::ends_with(text, "[ERR] CameraToolPrivate.h:83: Parameter pre_other not found\n"));
    CHECK_EQ(check::count_lines(text), 1);
    CHECK_EQ(out.min, -3);
    CHECK_EQ(out.unit, std::string("marker"));
    CHECK(static_cast<bool>(out.apply_to));
    CHECK(!out.read_from);
}

void test_wrong_kind_logs_requested_kind_and_leaves_out() {
    RegistryTool tool("pre_");
    tool.add("gain", ToolParameterType::INT, int_entry(0, 10));
    BoolParameterInfo out;
    out.default_value = true;
    out.read_from = [](const orvane::RegisterBank&) { return true; };
    check::StderrCapture capture;
    CHECK(!tool.getParamInfo("gain", out));
    const std::string text = capture.text();
    CHECK(check::ends_with(
        text, "[ERR] CameraToolPrivate.h:87: Parameter pre_gain is not of type BOOL\n"));
    CHECK_EQ(check::count_lines(text), 1);
    CHECK(out.default_value);
    CHECK(static_cast<bool>(out.read_from));
}

void test_lookup_copies_whole_record_and_repeats() {
    for (const std::string prefix : {"", "pre_"}) {
        RegistryTool tool(prefix);
        tool.add("gain", ToolParameterType::INT, int_entry(2, 9));
        IntParameterInfo first = marked_int_record();
        IntParameterInfo second;
        check::StderrCapture capture;
        CHECK(tool.getParamInfo("gain", first));
        CHECK(tool.getParamInfo("gain", second));
        CHECK_EQ(capture.text(), std::string());
        for (const IntParameterInfo* out : {&first, &second}) {
            CHECK_EQ(out->min, 2);
            CHECK_EQ(out->max, 9);
            CHECK_EQ(out->unit, std::string("us"));
            CHECK(!out->apply_to);
            CHECK(static_cast<bool>(out->read_from));
        }
        CHECK_EQ(tool.param_map.size(), 1u);
    }
}

void test_all_param_info_is_keyed_by_name_in_byte_order() {
    RegistryTool tool("pre_");
    for (const char* name : {"b", "a", "Z", "\xc3\xa9"}) {
        tool.add(name, ToolParameterType::INT, int_entry(0, 1));
    }
    std::string keys;
    for (const auto& [key, info] : tool.getAllParamInfo()) {
        CHECK_EQ(key, info.name);
        keys += key + ",";
    }
    CHECK_EQ(keys, std::string("Z,a,b,\xc3\xa9,"));
    CHECK(RegistryTool("").getAllParamInfo().empty());
}

// Only the library keeps keys and names in step; the map must come out right
// when they disagree too.
void test_all_param_info_when_keys_and_names_disagree() {
    RegistryTool tool("");
    const char* const entries[][3] = {{"k1", "b", "first b"},
                                      {"k2", "a", "only a"},
                                      {"k3", "b", "second b"},
                                      {"k4", "0", "zero"}};
    for (const auto& [key, name, description] : entries) {
        ParameterEntry entry = int_entry(0, 1);
        entry.info.name = name;
        entry.info.description = description;
        tool.param_map[key] = entry;
    }
    std::string seen;
    for (const auto& [key, info] : tool.getAllParamInfo()) {
        seen += key + "=" + info.description + ",";
    }
    CHECK_EQ(seen, std::string("0=zero,a=only a,b=second b,"));
}

}  // namespace

int main() {
    test_absent_key_logs_once_with_prefix_and_leaves_out();
    test_wrong_kind_logs_requested_kind_and_leaves_out();
    test_lookup_copies_whole_record_and_repeats();
    test_all_param_info_is_keyed_by_name_in_byte_order();
    test_all_param_info_when_keys_and_names_disagree();
    return CHECK_REPORT();
}
