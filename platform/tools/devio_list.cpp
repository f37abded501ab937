// devio-list: lists the PCI functions that the configuration-space driver class answers for,
// through whichever device provider serves it (sysfs on a plain machine, the lab under zamsim).
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/config_dump.h"
#include "platform/devio.h"
#include "platform/process.h"
#include "platform/standard_options.h"

namespace {

struct config_packet {
  uint32_t bus, device, function, offset, length;
  uint8_t data[4096];
};
static_assert(sizeof(config_packet) == 4116);

constexpr const char* usage_text =
    "Usage: devio-list\n"
    "       devio-list --dump FILE\n"
    "Lists bus:device.function, vendor and device ID, class code and header type of every\n"
    "PCI function the configuration-space driver reads: through sysfs on a plain machine\n"
    "(run as root to see everything), through the lab when ZAMSIM_SOCKET is set, from a\n"
    "dump that lspci -x, -xxx or -xxxx printed with --dump FILE (or ZAM_CONFIG_DUMP=FILE).\n";

// A dump replaces the machine: configuration space from the file, no lab. Read here first
// so that a malformed one ends the run with its message, and so that its functions outside
// domain 0 (which the driver cannot reach) can be listed.
int use_dump(const char* file, platform::config_dump& dump) {
  std::string error;
  if (!platform::load_config_dump(file, dump, error)) {
    std::fprintf(stderr, "devio-list: the dump %s cannot be used: %s\n", file, error.c_str());
    return 2;
  }
  platform::set_environment("ZAM_CONFIG_DUMP", file);
  platform::unset_environment("ZAMSIM_SOCKET");
  return 0;
}

void list_other_domains(const platform::config_dump& dump) {
  int others = 0;
  for (const platform::dumped_function& f : dump.functions) {
    if (f.domain == 0) continue;
    const auto at = [&](std::size_t offset) -> unsigned { return offset < f.bytes.size() ? f.bytes[offset] : 0xFFu; };
    std::printf("%s  %02x%02x:%02x%02x  class %02x%02x%02x  header type %02x  not served: domain %04x\n",
                platform::dumped_address(f).c_str(), at(1), at(0), at(3), at(2), at(11), at(10), at(9), at(14),
                f.domain);
    ++others;
  }
  if (others > 0) std::printf("%d functions outside domain 0000, not served\n", others);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "-h") == 0) {
    std::fputs(usage_text, stdout);
    return 0;
  }
  if (platform::answered_lone_standard_option(argc, argv, "devio-list", [] { std::fputs(usage_text, stdout); })) {
    return 0;
  }
  platform::config_dump dump;
  if (argc == 3 && std::strcmp(argv[1], "--dump") == 0) {
    if (const int code = use_dump(argv[2], dump)) return code;
  } else if (argc == 2 && std::strcmp(argv[1], "--dump") == 0) {
    std::fprintf(stderr, "devio-list: --dump needs a value\n\n%s", usage_text);
    return 2;
  } else if (argc > 1) {
    std::fprintf(stderr, "devio-list: unexpected argument '%s'\n\n%s", argv[1], usage_text);
    return 2;
  }
  const auto provider = platform::active_provider_for(platform::driver_class::config_space);
  const auto paths = platform::device_interfaces(platform::driver_class::config_space);
  if (!provider || paths.empty()) {
    std::fprintf(stderr, "devio-list: no configuration-space driver available\n");
    return 1;
  }
  const platform::device_handle handle = platform::open_device(paths.front());
  if (handle == platform::invalid_handle) {
    std::fprintf(stderr, "devio-list: cannot open %s (error %u)\n", paths.front().c_str(),
                 platform::last_error());
    return 1;
  }
  std::printf("provider %s, interface %s\n", provider->name().c_str(), paths.front().c_str());
  int found = 0;
  for (uint32_t bus = 0; bus < 256; ++bus) {
    for (uint32_t device = 0; device < 32; ++device) {
      for (uint32_t function = 0; function < 8; ++function) {
        config_packet packet{bus, device, function, 0, 16, {}};  // IDs, class, header type
        uint32_t returned = 0;
        if (!platform::device_control(handle, 0x222000, &packet, sizeof packet, &packet,
                                      sizeof packet, &returned) ||
            packet.length != 16) {
          continue;
        }
        uint16_t vendor, device_id;
        std::memcpy(&vendor, packet.data, 2);
        std::memcpy(&device_id, packet.data + 2, 2);
        if (vendor == 0xFFFF || vendor == 0) continue;
        std::printf("%02x:%02x.%x  %04x:%04x  class %02x%02x%02x  header type %02x\n", bus, device,
                    function, vendor, device_id, packet.data[11], packet.data[10], packet.data[9],
                    packet.data[14]);
        ++found;
      }
    }
  }
  platform::close_device(handle);
  std::printf("%d functions\n", found);
  list_other_domains(dump);
  return 0;
}
