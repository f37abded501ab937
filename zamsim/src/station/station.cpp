// Station file reading and validation.
#include "station/station.h"

#include <cerrno>
#include <cstdlib>

#include "platform/fs.h"
#include "platform/profile.h"

namespace zamsim {
namespace {

struct reader {
  const std::string& path;
  std::string& error;

  std::string text(const char* section, const char* key, const char* fallback = "") {
    return platform::read_profile_string(section, key, fallback, path);
  }

  // A number that must fit in `limit`; an absent key gives the fallback.
  template <typename T>
  bool number(const char* section, const char* key, T& out, uint64_t limit) {
    const std::string value = text(section, key);
    if (value.empty()) return true;
    const auto parsed = parse_number(value);
    if (!parsed || *parsed > limit) {
      error = path + ": [" + section + "] " + key + " = \"" + value + "\" is not a number up to " +
              std::to_string(limit);
      return false;
    }
    out = static_cast<T>(*parsed);
    return true;
  }

  bool device(const char* section, int& out, bool required) {
    uint32_t value = 0xFFFFFFFFu;
    if (!number(section, "Device", value, 0xFFFF)) return false;
    if (value == 0xFFFFFFFFu) {
      if (required) error = path + ": [" + section + "] needs Device = <script device number>";
      return !required;
    }
    out = static_cast<int>(value);
    return true;
  }
};

}  // namespace

std::optional<uint64_t> parse_number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* start = text.c_str() + (hex ? 2 : 0);
  if (*start == '\0' || *start == '-' || *start == '+') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(start, &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

std::optional<station_config> load_station(const std::string& path, std::string& error) {
  if (!platform::can_open_for_reading(path)) {
    error = "cannot read station file " + path;
    return std::nullopt;
  }
  station_config s;
  s.path = path;
  reader r{path, error};
  s.name = r.text("Station", "Name", "station");
  const std::string topology = r.text("Station", "Topology");
  if (topology.empty()) {
    error = path + ": [Station] needs Topology = <topology script>";
    return std::nullopt;
  }
  const auto slash = path.rfind('/');
  s.topology_path = topology.front() == '/' || slash == std::string::npos
                        ? topology
                        : platform::join_path(path.substr(0, slash), topology);
  if (!r.number("Station", "ConfigBase", s.config_base, ~0ull) ||
      !r.number("Station", "ConfigLength", s.config_length, ~0ull) ||
      !r.number("Station", "MemoryBase", s.memory_base, 0xFFFFFFFFull) ||
      !r.number("Station", "MemoryLimit", s.memory_limit, 0xFFFFFFFFull) ||
      !r.number("Station", "IOBase", s.io_base, 0xFFFF) || !r.number("Station", "IOLimit", s.io_limit, 0xFFFF)) {
    return std::nullopt;
  }
  if (s.memory_base > s.memory_limit || s.io_base > s.io_limit) {
    error = path + ": the memory or I/O range is empty (base above limit)";
    return std::nullopt;
  }
  for (int n = 1; n <= 32; ++n) {
    const std::string section = "RootPort" + std::to_string(n);
    root_port_role port;
    if (!r.device(section.c_str(), port.device, false)) return std::nullopt;
    if (port.device < 0) break;
    if (!r.number(section.c_str(), "Slot", port.slot, 0x1FFF) ||
        !r.number(section.c_str(), "MaxWidth", port.max_width, 32) ||
        !r.number(section.c_str(), "NegotiatedWidth", port.negotiated_width, 32)) {
      return std::nullopt;
    }
    s.root_ports.push_back(port);
  }
  if (!r.device("Card", s.card_device, false) || !r.device("DUT", s.dut_device, false) ||
      !r.device("KnownEndpoint", s.known_endpoint_device, false)) {
    return std::nullopt;
  }
  uint32_t port = 0xFFFFFFFFu;
  if (!r.number("Card", "Port", port, 0xFFFF) || !r.number("Card", "Mode", s.card_mode, 0xFFFFFFFFull)) {
    return std::nullopt;
  }
  s.card_next_boot_mode = s.card_mode;  // unless the station says otherwise
  if (!r.number("Card", "NextBootMode", s.card_next_boot_mode, 0xFFFFFFFFull) ||
      !r.number("Card", "DipSwitches", s.card_dip_switches, 7) ||
      !r.number("Card", "FirmwareVersion", s.card_firmware_version, 0xFFFFFF) ||
      !r.number("Card", "LinkStateA", s.card_link_state_a, 0x3F) ||
      !r.number("Card", "LinkStateB", s.card_link_state_b, 0x3F) ||
      !r.number("Card", "PowerCycleAtStart", s.card_power_cycle_at_start, 1) ||
      !r.number("DUT", "MaxWidth", s.dut_max_width, 32) ||
      !r.number("DUT", "NegotiatedWidth", s.dut_negotiated_width, 32)) {
    return std::nullopt;
  }
  std::string fault_error;
  if (!parse_dut_faults(r.text("DUT", "Fault"), s.faults, fault_error)) {
    error = path + ": [DUT] Fault: " + fault_error;
    return std::nullopt;
  }
  const std::string root_complex = r.text("SUT", "RootComplex");
  if (!root_complex.empty()) {
    s.sut_root_complex = root_complex.front() == '/' || slash == std::string::npos
                             ? root_complex
                             : platform::join_path(path.substr(0, slash), root_complex);
  }
  if (!r.number("SUT", "MemoryBase", s.sut_memory_base, 0xFFFFFFFFull) ||
      !r.number("SUT", "MemoryLimit", s.sut_memory_limit, 0xFFFFFFFFull) ||
      !r.number("SUT", "IOBase", s.sut_io_base, 0xFFFF) || !r.number("SUT", "IOLimit", s.sut_io_limit, 0xFFFF)) {
    return std::nullopt;
  }
  if (!parse_firmware_faults(r.text("Firmware", "Fault"), s.firmware, fault_error)) {
    error = path + ": [Firmware] Fault: " + fault_error;
    return std::nullopt;
  }
  if (port != 0xFFFFFFFFu) s.card_port_device = static_cast<int>(port);
  if ((s.card_device >= 0) != (s.card_port_device >= 0)) {
    error = path + ": [Card] needs both Device (the Farrow port) and Port (the card's downstream port)";
    return std::nullopt;
  }
  return s;
}

}  // namespace zamsim
