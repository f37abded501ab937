// Fuzz target: zamlib's packet log over arbitrary transfers from the card and completions to
// it, through the library's card interface (word swapping, buffer bounds) and the USB link.
// Input: chunks of a control byte, a 16-bit length (little-endian) and that many bytes (cut
// at the end of the input). Control bit 0 clear: a transfer the card hands to a request
// read into a buffer of 3 * (control >> 1) bytes; set: a completion of those bytes written
// (host-order words).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "card_interface.h"
#include "card_standin.h"
#include "packet_log.h"
#include "zamlib/zamlib.h"

namespace {

// A read buffer of exactly `size` bytes, as a caller may hand over: a read past it shows.
struct exact_buffer {
  explicit exact_buffer(size_t size) : words(size ? static_cast<uint32_t*>(std::malloc(size)) : nullptr) {}
  ~exact_buffer() { std::free(words); }
  uint32_t* words;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zamlib_testing::card_standin card;
  zamlib::usb_link link("ezusb-0", [](uint32_t) {});
  zamlib::packet_log log([&](const std::string& text) {
    // Every piece of the log is whole lines.
    if (text.empty() || text.back() != '\n') std::abort();
  });
  zamlib::card_interface hardware(link, log);
  if (hardware.init(0) != ZAMLIB_STATUS_SUCCESS) std::abort();

  size_t at = 0;
  while (at + 3 <= size) {
    const uint8_t control = data[at];
    size_t length = data[at + 1] | data[at + 2] << 8;
    at += 3;
    if (length > size - at) length = size - at;
    if (control & 1) {
      // Completions are host-order words: a partial last word is still a whole word of
      // the caller's (its first bytes on the wire are its most significant ones).
      std::vector<uint32_t> completion((length + 3) / 4);
      if (length) std::memcpy(completion.data(), data + at, length);
      hardware.write_completion(completion.data(), static_cast<uint32_t>(length), 1000);
    } else {
      card.queue_bytes(std::vector<uint8_t>(data + at, data + at + length));
      const uint32_t buffer_size = 3u * (control >> 1);
      exact_buffer buffer(buffer_size);
      uint32_t bytes_read = 0;
      const uint32_t status = hardware.read_request(buffer_size, 0, &bytes_read, buffer.words);
      if (bytes_read > buffer_size || (status != ZAMLIB_STATUS_SUCCESS && bytes_read != 0)) std::abort();
    }
    at += length;
  }
  hardware.close();
  const std::string summary = log.summary();
  if (summary.rfind("Summary of config space contents:\n", 0) != 0) std::abort();
  return 0;
}
