#pragma once

#include <cstdint>
#include <memory>

#include "OrvaneExport.h"

namespace orvane {

// One image of the active pixel sensor: RGB888 pixels, row after row.
//
// Copies are cheap and share the pixel buffer, like an image header;
// clone() duplicates the pixels. A frame with zero width, height or data
// size has no buffer (data() is null).
class ORVANE_EXPORT ApsFrame {
public:
    uint64_t exposure_start_timestamp = 0;
    uint64_t exposure_end_timestamp = 0;

    // Allocates width x height x 3 zeroed bytes. Throws std::invalid_argument
    // for negative geometry or a size that no buffer can have.
    ApsFrame(int32_t width, int32_t height, uint64_t start_ts, uint64_t end_ts);

    // With own_data the frame copies data_size bytes from data into a buffer
    // of its own; without it the frame refers to data, which the caller keeps
    // alive for as long as any frame shares it.
    ApsFrame(int32_t width, int32_t height, uint64_t start_ts, uint64_t end_ts, uint8_t* data,
             uint64_t data_size, bool own_data);

    // Declared without a move constructor: moving a frame copies it, which
    // only shares the buffer.
    ApsFrame(const ApsFrame& other);
    ApsFrame& operator=(const ApsFrame& other) = default;
    ~ApsFrame() = default;

    int32_t width() const;
    int32_t height() const;
    uint8_t* data();
    const uint8_t* data() const;
    uint64_t getDataSize() const;

    ApsFrame clone() const;

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint64_t data_size_ = 0;
    std::shared_ptr<uint8_t> data_;
};

}  // namespace orvane
