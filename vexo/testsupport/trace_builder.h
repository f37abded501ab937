// Building card trace buffers byte by byte for tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace vexo_test {

class trace_builder {
 public:
  // A TLP record of kind 0-2 whose payload is the given bytes, padded to whole dwords; the
  // header's length field says `dwords` (the payload's length unless given).
  trace_builder& tlp(std::vector<uint8_t> payload, int kind = 0, int dwords = -1) {
    while (payload.size() % 4 != 0) payload.push_back(0);
    const uint32_t length = dwords >= 0 ? static_cast<uint32_t>(dwords)
                                        : static_cast<uint32_t>(payload.size() / 4);
    header(static_cast<uint8_t>(kind), length);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return *this;
  }
  // A DLLP record: payload byte 0 and 7 are filler, bytes 1-6 the DLLP.
  trace_builder& dllp(uint8_t type, uint8_t b1 = 0, uint8_t b2 = 0, uint8_t b3 = 0) {
    header(3, 0);
    const uint8_t payload[8] = {0xEE, type, b1, b2, b3, 0xC1, 0xC2, 0xEE};
    bytes.insert(bytes.end(), payload, payload + 8);
    return *this;
  }
  // A header-only record of kind 4-7.
  trace_builder& other(int kind) {
    header(static_cast<uint8_t>(kind), 0);
    return *this;
  }
  trace_builder& raw(std::vector<uint8_t> more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
  }

  std::vector<uint8_t> bytes;

 private:
  void header(uint8_t kind, uint32_t dwords) {
    // Marker, kind with uninterpreted bits 11-15 set, length, uninterpreted upper word.
    const uint8_t h[8] = {0xF1, static_cast<uint8_t>(kind | 0xF8),
                          static_cast<uint8_t>(dwords & 0xFF),
                          static_cast<uint8_t>(dwords >> 8), 0x12, 0x34, 0x56, 0x78};
    bytes.insert(bytes.end(), h, h + 8);
  }
};

}  // namespace vexo_test
