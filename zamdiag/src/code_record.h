// One piece of controller code read from a file, and where the readers hand it.
#pragma once

#include <cstdint>
#include <functional>

namespace zamdiag {

// `length` bytes of code for the controller's memory at `address`.
struct code_record {
  uint32_t address = 0;
  const uint8_t* data = nullptr;
  uint32_t length = 0;
};

// Receives each record in file order; returns false to stop the reading.
using code_sink = std::function<bool(const code_record&)>;

}  // namespace zamdiag
