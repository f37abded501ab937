// Boot images: the 0xC2 header, then records of length, address and data.
#include "boot_image.h"

#include <algorithm>
#include <vector>

namespace zamdiag {
namespace {

// Reads exactly `length` bytes; false at the end of the stream or short of it.
bool read_whole(std::istream& in, uint8_t* bytes, std::size_t length) {
  in.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(length));
  return static_cast<std::size_t>(in.gcount()) == length;
}

boot_fault read_records(std::istream& in, const code_sink& sink) {
  for (;;) {
    uint8_t head[4];
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (in.gcount() == 0) return boot_fault::none;  // the end of the image between records
    if (in.gcount() != sizeof head) return boot_fault::bad_format;
    const uint16_t length = static_cast<uint16_t>(head[0] << 8 | head[1]);
    const uint16_t address = static_cast<uint16_t>(head[2] << 8 | head[3]);
    if ((length & 0x8000) != 0) return boot_fault::none;
    std::vector<uint8_t> data(length);
    if (!read_whole(in, data.data(), length)) return boot_fault::bad_format;
    for (std::size_t done = 0; done < data.size(); done += max_code_piece) {
      const std::size_t piece = std::min(max_code_piece, data.size() - done);
      if (!sink(code_record{address + static_cast<uint32_t>(done), data.data() + done,
                            static_cast<uint32_t>(piece)})) {
        return boot_fault::stopped;
      }
    }
  }
}

}  // namespace

boot_fault read_boot_image(std::istream& in, const code_sink& sink) {
  uint8_t header[8];
  if (!read_whole(in, header, sizeof header) || header[0] != 0xC2) return boot_fault::bad_format;
  return read_records(in, sink);
}

}  // namespace zamdiag
