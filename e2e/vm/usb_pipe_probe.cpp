// usb-pipe-probe: bulk requests on a card's pipes through the device layer (the usb provider
// on a real USB stack), each with the error code it ended with, for the VM tests. zamdiag
// says only "ioctl failed"; these tests need the code.
//
// Usage: usb-pipe-probe DEVICE STEP...   (DEVICE e.g. ezusb-0)
//   wP:N      write N bytes (0x00, 0x01, ...) to pipe P
//   rP:N:MS   read up to N bytes from pipe P, time-out MS
// One line a step: "wP N: ok N" or "rP N: ok N: <hex bytes>", else "...: error CODE"; a read
// that fails with 1460 says whether it waited its time-out ("after its time-out") or ended
// early. Exit 0 when every step was carried out (whatever it ended with), 2 on bad usage,
// 1 when the device does not open.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/devio.h"

namespace {

constexpr uint32_t bulk_read = 0x22204E, bulk_write = 0x222051;

bool parse_step(const std::string& text, char& kind, uint32_t& pipe, uint32_t& length, uint32_t& timeout) {
  if (text.size() < 4 || (text[0] != 'r' && text[0] != 'w')) return false;
  kind = text[0];
  timeout = 5000;
  const int fields = kind == 'r' ? std::sscanf(text.c_str() + 1, "%u:%u:%u", &pipe, &length, &timeout)
                                 : std::sscanf(text.c_str() + 1, "%u:%u", &pipe, &length);
  return fields == (kind == 'r' ? 3 : 2) && length <= 65536;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: usb-pipe-probe DEVICE wP:N|rP:N:MS...\n", stderr);
    return 2;
  }
  const platform::device_handle handle = platform::open_device(argv[1]);
  if (handle == platform::invalid_handle) {
    std::printf("open %s: error %u\n", argv[1], platform::last_error());
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    char kind = 0;
    uint32_t pipe = 0, length = 0, timeout = 0;
    if (!parse_step(argv[i], kind, pipe, length, timeout)) {
      std::fprintf(stderr, "usb-pipe-probe: bad step %s\n", argv[i]);
      return 2;
    }
    const uint8_t record[4] = {static_cast<uint8_t>(pipe), static_cast<uint8_t>(pipe >> 8), 0, 0};
    std::vector<uint8_t> data(length);
    for (uint32_t b = 0; b < length && kind == 'w'; ++b) data[b] = static_cast<uint8_t>(b);
    uint32_t returned = 0;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = platform::device_control(handle, kind == 'r' ? bulk_read : bulk_write, record, 4, data.data(),
                                             length, &returned, timeout);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("%c%u %u: ", kind, pipe, length);
    if (ok) {
      std::printf("ok %u", returned);
      if (kind == 'r') {
        std::printf(":");
        for (uint32_t b = 0; b < returned; ++b) std::printf(" %02x", data[b]);
      }
    } else {
      const uint32_t code = platform::last_error();
      std::printf("error %u", code);
      if (code == 1460 && waited.count() >= timeout) std::printf(" after its time-out");
      if (code == 1460 && waited.count() < timeout) {
        std::printf(" early, after %lld ms", static_cast<long long>(waited.count()));
      }
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  platform::close_device(handle);
  return 0;
}
