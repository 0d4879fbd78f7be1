#include "ApsFrame.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace orvane {

namespace {

constexpr uint64_t kBytesPerPixel = 3;

void check_geometry(int32_t width, int32_t height) {
    if (width < 0 || height < 0) {
        throw std::invalid_argument("ApsFrame width and height must not be negative");
    }
}

// calloc hands out zeroed pages lazily, so a large frame costs no work until
// its pixels are written.
std::shared_ptr<uint8_t> allocate(uint64_t size) {
    if (size > static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
        throw std::invalid_argument("ApsFrame size exceeds the largest possible buffer");
    }
    void* memory = std::calloc(static_cast<std::size_t>(size), 1);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return std::shared_ptr<uint8_t>(static_cast<uint8_t*>(memory), std::free);
}

}  // namespace

ApsFrame::ApsFrame(int32_t width, int32_t height, uint64_t start_ts, uint64_t end_ts)
    : exposure_start_timestamp(start_ts),
      exposure_end_timestamp(end_ts),
      width_(width),
      height_(height) {
    check_geometry(width, height);
    const uint64_t size =
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * kBytesPerPixel;
    if (size > 0) {
        data_ = allocate(size);
        data_size_ = size;
    }
}

ApsFrame::ApsFrame(int32_t width, int32_t height, uint64_t start_ts, uint64_t end_ts, uint8_t* data,
                   uint64_t data_size, bool own_data)
    : exposure_start_timestamp(start_ts),
      exposure_end_timestamp(end_ts),
      width_(width),
      height_(height) {
    check_geometry(width, height);
    if (data_size == 0) {
        return;
    }
    if (data == nullptr) {
        throw std::invalid_argument("ApsFrame data is null but data_size is not zero");
    }
    if (own_data) {
        data_ = allocate(data_size);
        std::memcpy(data_.get(), data, static_cast<std::size_t>(data_size));
    } else {
        data_ = std::shared_ptr<uint8_t>(data, [](uint8_t*) {});
    }
    data_size_ = data_size;
}

ApsFrame::ApsFrame(const ApsFrame& other) = default;

int32_t ApsFrame::width() const { return width_; }

int32_t ApsFrame::height() const { return height_; }

uint8_t* ApsFrame::data() { return data_.get(); }

const uint8_t* ApsFrame::data() const { return data_.get(); }

uint64_t ApsFrame::getDataSize() const { return data_size_; }

ApsFrame ApsFrame::clone() const {
    ApsFrame copy(*this);
    if (data_ != nullptr) {
        copy.data_ = allocate(data_size_);
        std::memcpy(copy.data_.get(), data_.get(), static_cast<std::size_t>(data_size_));
    }
    return copy;
}

}  // namespace orvane
