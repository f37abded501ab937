// Station file reading and validation.
#include "station/station.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <map>
#include <set>

#include "platform/fs.h"
#include "platform/input_file.h"
#include "platform/profile.h"

namespace zamsim {
namespace {

struct reader {
  const std::string& path;
  std::string& error;

  std::string text(const char* section, const char* key, const char* fallback = "") {
    return platform::read_profile_string(section, key, fallback, path);
  }

  // A number that must fit in `limit`; an absent key gives the fallback, an empty value is
  // refused.
  template <typename T>
  bool number(const char* section, const char* key, T& out, uint64_t limit) {
    static constexpr const char* absent = "\x01";
    const std::string value = text(section, key, absent);
    if (value == absent) return true;
    const auto parsed = parse_number(value);
    if (!parsed || *parsed > limit) {
      error = path + ": [" + section + "] " + key + " = \"" + value + "\" is not a number up to " +
              std::to_string(limit);
      return false;
    }
    out = static_cast<T>(*parsed);
    return true;
  }

  // A link width: one PCI Express has (x1, x2, x4, x8, x12, x16, x32), or 0 where 0 means
  // "no limit" (a negotiated width).
  bool width(const char* section, const char* key, uint32_t& out, bool zero_allowed) {
    uint32_t value = out;
    if (!number(section, key, value, 32)) return false;
    if (!(zero_allowed && value == 0) && !is_link_width(value)) {
      error = path + ": [" + section + "] " + key + " = " + std::to_string(value) +
              " is not a PCI Express link width (1, 2, 4, 8, 12, 16 or 32" +
              (zero_allowed ? "; 0: no limit)" : ")");
      return false;
    }
    out = value;
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

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Sections and keys a station may have (lower case; root port sections by prefix).
const std::map<std::string, std::set<std::string>>& known_keys() {
  static const std::map<std::string, std::set<std::string>> keys = {
      {"station", {"name", "topology", "configbase", "configlength", "memorybase", "memorylimit", "iobase", "iolimit"}},
      {"rootport", {"device", "slot", "maxwidth", "negotiatedwidth"}},
      {"card",
       {"device", "port", "mode", "nextbootmode", "maxwidth", "firmwareversion", "dipswitches", "linkstatea",
        "linkstateb", "delayscanwindow", "powercycleatstart", "bootfirmware"}},
      {"dut", {"device", "maxwidth", "negotiatedwidth", "fault"}},
      {"knownendpoint", {"device"}},
      {"operator", {"answers"}},
      {"sut", {"rootcomplex", "memorybase", "memorylimit", "iobase", "iolimit"}},
      {"firmware", {"fault"}},
      {"suite", {"linkwidthstations"}},  // read by the suite runner, not the lab
  };
  return keys;
}

// One warning per section or key the lab does not know (the station still loads); false
// with `error` set for a section, or a key within a section, given a second time (the
// profile reader would take the first and drop the other without a word).
bool scan_lines(const std::string& path, std::vector<std::string>& warnings, std::string& error) {
  std::string text;
  platform::read_input_text_file(path, platform::max_profile_file_bytes, &text);  // checked by the caller
  std::istringstream in(text);
  std::string line, section;
  const std::set<std::string>* keys = nullptr;
  std::map<std::string, int> section_lines;               // lower-case name: first line
  std::map<std::pair<std::string, std::string>, int> key_lines;  // (section, key): first line
  for (int number = 1; std::getline(in, line); ++number) {
    line = trimmed(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    const std::string at = path + ":" + std::to_string(number) + ": ";
    if (line[0] == '[') {
      section = trimmed(line.substr(1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1));
      const auto [first, inserted] = section_lines.emplace(lower(section), number);
      if (!inserted) {
        error = at + "section [" + section + "] is given again (first at line " + std::to_string(first->second) +
                "): give each section once";
        return false;
      }
      std::string kind = lower(section);
      if (kind.rfind("rootport", 0) == 0 && kind.size() > 8 &&
          kind.find_first_not_of("0123456789", 8) == std::string::npos) {
        kind = "rootport";
      }
      const auto found = known_keys().find(kind);
      keys = found == known_keys().end() ? nullptr : &found->second;
      if (keys == nullptr) warnings.push_back(at + "unknown section [" + section + "]");
      continue;
    }
    const auto equals = line.find('=');
    if (section.empty() || equals == std::string::npos) continue;
    const std::string key = trimmed(line.substr(0, equals));
    const auto [first, inserted] = key_lines.emplace(std::pair{lower(section), lower(key)}, number);
    if (!inserted) {
      error = at + "[" + section + "] " + key + " is given again (first at line " + std::to_string(first->second) +
              "): give each key once";
      return false;
    }
    if (keys != nullptr && !keys->count(lower(key))) {
      warnings.push_back(at + "unknown key [" + section + "] " + key);
    }
  }
  return true;
}

// Two roles on one script device make no sense; the first clash is named.
bool roles_distinct(const station_config& s, std::string& error) {
  std::vector<std::pair<int, std::string>> roles;
  for (std::size_t i = 0; i < s.root_ports.size(); ++i) {
    roles.emplace_back(s.root_ports[i].device, "[RootPort" + std::to_string(i + 1) + "] Device");
  }
  roles.emplace_back(s.card_device, "[Card] Device");
  roles.emplace_back(s.card_port_device, "[Card] Port");
  roles.emplace_back(s.dut_device, "[DUT] Device");
  roles.emplace_back(s.known_endpoint_device, "[KnownEndpoint] Device");
  for (std::size_t a = 0; a < roles.size(); ++a) {
    for (std::size_t b = a + 1; b < roles.size(); ++b) {
      if (roles[a].first >= 0 && roles[a].first == roles[b].first) {
        error = s.path + ": " + roles[b].second + " = " + std::to_string(roles[b].first) + " is also " + roles[a].second +
                ": one device plays one role";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool is_link_width(uint64_t width) {
  for (uint64_t legal : {1, 2, 4, 8, 12, 16, 32}) {
    if (width == legal) return true;
  }
  return false;
}

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
  // A station is a regular file of profile size: a folder or a device is refused by name,
  // before any value is read from it.
  std::string text, reason;
  if (!platform::read_input_file(path, platform::max_profile_file_bytes, &text, &reason)) {
    error = "cannot read station file " + path + ": " + reason;
    return std::nullopt;
  }
  station_config s;
  s.path = path;
  if (!scan_lines(path, s.warnings, error)) return std::nullopt;
  reader r{path, error};
  s.name = r.text("Station", "Name", "station");
  const std::string topology = r.text("Station", "Topology");
  if (topology.empty()) {
    error = path + ": [Station] needs Topology = <topology script>";
    return std::nullopt;
  }
  // Relative paths in the file are read from the station's folder.
#ifdef _WIN32
  const auto slash = path.find_last_of("/\\");
  const auto absolute = [](const std::string& name) { return platform::is_absolute_path(platform::native_path(name)); };
#else
  const auto slash = path.rfind('/');
  const auto absolute = [](const std::string& name) { return name.front() == '/'; };
#endif
  s.topology_path = absolute(topology) || slash == std::string::npos
                        ? topology
                        : platform::join_path(path.substr(0, slash), topology);
  std::error_code ignored;
  if (std::filesystem::is_directory(s.topology_path, ignored)) {
    error = path + ": [Station] Topology = " + topology + " is a folder, not a topology script";
    return std::nullopt;
  }
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
        !r.width(section.c_str(), "MaxWidth", port.max_width, false) ||
        !r.width(section.c_str(), "NegotiatedWidth", port.negotiated_width, true)) {
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
      !r.number("Card", "DelayScanWindow", s.card_delay_scan_window, 1) ||
      !r.number("Card", "PowerCycleAtStart", s.card_power_cycle_at_start, 1) ||
      !r.number("Card", "BootFirmware", s.card_boot_firmware, 1) ||
      !r.width("Card", "MaxWidth", s.card_max_width, false) ||
      !r.width("DUT", "MaxWidth", s.dut_max_width, false) ||
      !r.width("DUT", "NegotiatedWidth", s.dut_negotiated_width, true)) {
    return std::nullopt;
  }
  std::string fault_error;
  if (!parse_dut_faults(r.text("DUT", "Fault"), s.faults, fault_error)) {
    error = path + ": [DUT] Fault: " + fault_error;
    return std::nullopt;
  }
  const std::string root_complex = r.text("SUT", "RootComplex");
  if (!root_complex.empty()) {
    s.sut_root_complex = absolute(root_complex) || slash == std::string::npos
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
  for (const auto& [key, mode] : {std::pair{"Mode", s.card_mode}, std::pair{"NextBootMode", s.card_next_boot_mode}}) {
    if (mode > 2) {
      error = path + ": [Card] " + key + " = " + std::to_string(mode) +
              " is not a card mode (0 add-in card, 1 topology, 2 known endpoint)";
      return std::nullopt;
    }
  }
  if (!roles_distinct(s, error)) return std::nullopt;
  const std::string answers = r.text("Operator", "Answers");
  for (std::size_t start = 0; start <= answers.size();) {
    const std::size_t comma = std::min(answers.find(',', start), answers.size());
    const std::string answer = trimmed(answers.substr(start, comma - start));
    if (!answer.empty()) s.operator_answers.push_back(answer);
    start = comma + 1;
  }
  return s;
}

}  // namespace zamsim
