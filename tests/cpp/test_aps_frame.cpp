#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "ApsFrame.h"
#include "check.h"

namespace {

template <typename Action>
bool throws_invalid_argument(Action action) {
    try {
        action();
    } catch (const std::invalid_argument&) {
        return true;
    }
    return false;
}

void test_new_frame_is_zeroed_rgb() {
    orvane::ApsFrame frame(4, 2, 10, 20);
    CHECK_EQ(frame.width(), 4);
    CHECK_EQ(frame.height(), 2);
    CHECK_EQ(frame.getDataSize(), uint64_t{24});
    CHECK_EQ(frame.exposure_start_timestamp, uint64_t{10});
    CHECK_EQ(frame.exposure_end_timestamp, uint64_t{20});
    CHECK(frame.data() != nullptr);
    const std::vector<uint8_t> pixels(frame.data(), frame.data() + 24);
    CHECK(pixels == std::vector<uint8_t>(24, 0));
}

void test_zero_geometry_has_no_buffer() {
    for (const auto& size : {std::pair<int32_t, int32_t>{0, 5}, {5, 0}, {0, 0}}) {
        orvane::ApsFrame frame(size.first, size.second, 0, 0);
        CHECK(frame.data() == nullptr);
        CHECK_EQ(frame.getDataSize(), uint64_t{0});
    }
}

void test_bad_geometry_throws() {
    CHECK(throws_invalid_argument([] { orvane::ApsFrame(-1, 2, 0, 0); }));
    CHECK(throws_invalid_argument([] { orvane::ApsFrame(2, -1, 0, 0); }));
    const int32_t largest = std::numeric_limits<int32_t>::max();
    CHECK(throws_invalid_argument([largest] { orvane::ApsFrame(largest, largest, 0, 0); }));
    uint8_t byte = 0;
    CHECK(throws_invalid_argument([&byte] { orvane::ApsFrame(-1, 1, 0, 0, &byte, 1, true); }));
    CHECK(throws_invalid_argument([] { orvane::ApsFrame(1, 1, 0, 0, nullptr, 3, true); }));
}

void test_copy_shares_pixels_and_clone_duplicates_them() {
    orvane::ApsFrame frame(2, 2, 1, 2);
    orvane::ApsFrame copy(frame);
    const orvane::ApsFrame clone = frame.clone();
    frame.data()[5] = 99;
    CHECK(copy.data() == frame.data());
    CHECK(clone.data() != frame.data());
    CHECK_EQ(int{copy.data()[5]}, 99);
    CHECK_EQ(int{clone.data()[5]}, 0);
    CHECK_EQ(clone.getDataSize(), frame.getDataSize());
    CHECK_EQ(clone.exposure_end_timestamp, uint64_t{2});
}

void test_external_memory_is_copied_or_referred_to() {
    std::vector<uint8_t> pixels = {1, 2, 3, 4, 5, 6};
    orvane::ApsFrame owning(2, 1, 0, 0, pixels.data(), pixels.size(), true);
    orvane::ApsFrame referring(2, 1, 0, 0, pixels.data(), pixels.size(), false);
    pixels[0] = 42;
    CHECK(owning.data() != pixels.data());
    CHECK_EQ(int{owning.data()[0]}, 1);
    CHECK(referring.data() == pixels.data());
    CHECK_EQ(referring.getDataSize(), uint64_t{6});

    const orvane::ApsFrame clone = referring.clone();
    CHECK(clone.data() != pixels.data());
    CHECK_EQ(int{clone.data()[0]}, 42);

    orvane::ApsFrame empty(2, 1, 0, 0, pixels.data(), 0, false);
    CHECK(empty.data() == nullptr);
}

}  // namespace

int main() {
    test_new_frame_is_zeroed_rgb();
    test_zero_geometry_has_no_buffer();
    test_bad_geometry_throws();
    test_copy_shares_pixels_and_clone_duplicates_them();
    test_external_memory_is_copied_or_referred_to();
    return CHECK_REPORT();
}
