// Fuzz target: configuration-space dumps (the text lspci -x prints). Whatever parses must
// write back and parse to the same functions and bytes, and the dump provider must serve
// its reads without touching memory it does not own.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/config_dump.h"
#include "platform/devio.h"
#include "support/input_file.h"

namespace {

void check_round_trip(const platform::config_dump& dump) {
  std::string text;
  for (const platform::dumped_function& f : dump.functions) text += platform::format_dumped_function(f, "x");
  platform::config_dump again;
  std::string error;
  if (!platform::parse_config_dump(text, again, error) || again.functions.size() != dump.functions.size()) {
    __builtin_trap();
  }
  for (std::size_t i = 0; i < dump.functions.size(); ++i) {
    const auto& a = dump.functions[i];
    const auto& b = again.functions[i];
    if (a.domain != b.domain || a.bus != b.bus || a.device != b.device || a.function != b.function ||
        a.bytes != b.bytes) {
      __builtin_trap();
    }
  }
}

struct config_packet {
  uint32_t bus, device, function, offset, length;
  uint8_t data[4096];
};

// Reads each function of domain 0 at a few places, across and past the end of its bytes.
void read_through_provider(const std::string& path, const platform::config_dump& dump) {
  auto provider = platform::make_dump_provider(path);
  uint32_t error_code = 0;
  auto channel = provider->open("dump:pci-config", error_code);
  if (!channel) return;
  for (const platform::dumped_function& f : dump.functions) {
    const uint32_t size = static_cast<uint32_t>(f.bytes.size());
    for (const uint32_t offset : {0u, size > 4 ? size - 4 : 0u, size, 0xFFCu}) {
      config_packet p{f.bus, f.device, f.function, offset, 4096 - offset, {}};
      uint32_t returned = 0;
      channel->control(0x222000, &p, sizeof p, &p, sizeof p, returned, 0);
      if (returned > sizeof p) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zam_fuzz::input_file file("config_dump");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  platform::config_dump dump;
  std::string error;
  if (!platform::parse_config_dump(text, dump, error)) {
    if (error.empty() || !dump.functions.empty()) __builtin_trap();
    return 0;
  }
  check_round_trip(dump);
  read_through_provider(file.write(data, size), dump);
  return 0;
}
