// The configuration-space driver's requests as its providers (sysfs, a dump) serve them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/devio.h"

namespace platform::config_driver {

// Request codes.
inline constexpr uint32_t read_config = 0x222000;
inline constexpr uint32_t write_config = 0x222004;
inline constexpr uint32_t set_window = 0x22200C;
inline constexpr uint32_t get_window = 0x222010;
inline constexpr uint32_t query_mcfg = 0x22201C;

// Read/write packet: bus; device; function; offset; length; data[4096].
inline constexpr uint32_t header_size = 20;
inline constexpr uint32_t data_size = 4096;

inline uint32_t word_at(const uint8_t* bytes, std::size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

inline void put_word(uint8_t* bytes, std::size_t offset, uint32_t value) {
  std::memcpy(bytes + offset, &value, sizeof value);
}

inline void put_u64(uint8_t* bytes, std::size_t offset, uint64_t value) {
  std::memcpy(bytes + offset, &value, sizeof value);
}

struct access {
  uint32_t bus, device, function, offset, length;
};

// Checks a read or write packet and takes its fields; error::success when it can be
// served. The packet's header is then copied to `out`.
inline uint32_t take_access(bool write, const uint8_t* in, uint32_t in_length, uint8_t* out,
                            uint32_t out_capacity, access& request) {
  if (in_length < header_size || out_capacity < header_size) return error::invalid_parameter;
  request = {word_at(in, 0), word_at(in, 4), word_at(in, 8), word_at(in, 12), word_at(in, 16)};
  if (request.bus > 255 || request.device > 31 || request.function > 7 ||
      request.offset > data_size || request.length > data_size - request.offset) {
    return error::invalid_parameter;
  }
  if (out_capacity < header_size + request.length ||
      (write && in_length < header_size + request.length)) {
    return error::insufficient_buffer;
  }
  std::memcpy(out, in, header_size);
  return error::success;
}

// The memory-mapped window a caller sets and reads back; these providers only keep it.
class window {
 public:
  uint32_t set(const uint8_t* in, uint32_t in_length, uint32_t& returned) {
    if (in_length < 16) return error::invalid_parameter;
    std::lock_guard lock(mutex_);
    std::memcpy(&base_, in, 8);
    std::memcpy(&length_, in + 8, 8);
    returned = 0;
    return error::success;
  }

  uint32_t get(uint8_t* out, uint32_t out_capacity, uint32_t& returned) {
    if (out_capacity < 16) return error::insufficient_buffer;
    std::lock_guard lock(mutex_);
    put_u64(out, 0, base_);
    put_u64(out, 8, length_);
    returned = 16;
    return error::success;
  }

 private:
  std::mutex mutex_;
  uint64_t base_ = 0;
  uint64_t length_ = 0;
};

// A configuration-space driver's channel: the request switch and the window every provider
// shares. A provider serves the configuration reads and writes, and the firmware table
// query where it has one.
class channel : public device_channel {
 public:
  uint32_t control(uint32_t code, const void* in_bytes, uint32_t in_length, void* out_bytes,
                   uint32_t out_capacity, uint32_t& returned, uint32_t) final {
    const auto* in = static_cast<const uint8_t*>(in_bytes);
    auto* out = static_cast<uint8_t*>(out_bytes);
    switch (code) {
      case read_config:
      case write_config:
        return config_access(code == write_config, in, in_length, out, out_capacity, returned);
      case set_window:
        return window_.set(in, in_length, returned);
      case get_window:
        return window_.get(out, out_capacity, returned);
      case query_mcfg:
        return query_firmware_table(out, out_capacity, returned);
      default:
        return error::invalid_function;
    }
  }

 protected:
  virtual uint32_t config_access(bool write, const uint8_t* in, uint32_t in_length, uint8_t* out,
                                 uint32_t out_capacity, uint32_t& returned) = 0;
  virtual uint32_t query_firmware_table(uint8_t* out, uint32_t out_capacity, uint32_t& returned) = 0;

 private:
  window window_;
};

}  // namespace platform::config_driver
