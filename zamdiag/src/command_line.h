// The command line: options, their arguments and number formats, into one option state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zamdiag {

inline constexpr std::size_t max_values = 512;

enum class flash_action { none, program, verify };
enum class eeprom_action { none, download, upload };

// Next-boot mode: a value 0-3 to set, or one of these.
inline constexpr int boot_mode_not_given = -1;
inline constexpr int boot_mode_show = -2;

struct options {
  std::string device_name = "ezusb-0";

  // Memory commands share the request code and the address.
  uint16_t request = 0;
  uint32_t address = 0;
  uint32_t read_count = 0;       // set by a read option (default 1 there)
  std::vector<uint8_t> values;   // set by a write option

  flash_action flash = flash_action::none;
  std::string flash_path;
  uint32_t flash_offset = 0;
  bool flash_header = true;

  eeprom_action eeprom = eeprom_action::none;
  std::string eeprom_path;
  uint32_t eeprom_offset = 0;
  uint32_t eeprom_count = 0;

  std::string fpga_path;
  std::string hex_path;
  bool boot_reset = false;
  std::string boot_path;         // empty: reset only

  int boot_mode = boot_mode_not_given;
  int64_t link_port = -1;        // -1: not given

  bool image_info = false;
  uint32_t image_address = 0;
  bool status = false;
  bool version = false;
  bool mode_query = false;
  bool delay_scan = false;
};

// Either the options, or the usage text is due, or an argument was refused (message).
struct parse_result {
  options opts;
  bool usage = false;
  std::string refusal;  // one line ending with "\n"
};

// Parses the arguments (without the program name).
parse_result parse_command_line(const std::vector<std::string>& args);

// A number in decimal, hexadecimal with 0x, or octal with a leading 0; nullopt when the
// text is not entirely such a number or does not fit 32 bits.
std::optional<uint32_t> parse_number(const std::string& text);

}  // namespace zamdiag
