// The command-line parser.
#include "command_line.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "device_name.h"
#include "ezusb_map.h"
#include "print_format.h"

namespace zamdiag {
namespace {

// "-x", or "/x" as a whole argument (a longer text starting with "/" is a path here).
bool is_option(const std::string& arg) {
  if (arg.size() < 2) return false;
  return arg[0] == '-' || (arg[0] == '/' && arg.size() == 2);
}

class parser {
 public:
  explicit parser(const std::vector<std::string>& args) : args_(args) {}

  parse_result run() {
    while (next_ < args_.size() && !done()) {
      const std::string& arg = args_[next_++];
      if (!is_option(arg)) continue;  // stray arguments are ignored
      option(arg[1]);
    }
    return std::move(result_);
  }

 private:
  bool done() const { return result_.usage || !result_.refusal.empty(); }

  bool has_argument() const { return next_ < args_.size() && !is_option(args_[next_]); }

  // A required argument; a missing one calls for the usage text.
  std::optional<std::string> required() {
    if (!has_argument()) {
      result_.usage = true;
      return std::nullopt;
    }
    return args_[next_++];
  }

  std::optional<uint32_t> number(const std::string& text) {
    auto value = parse_number(text);
    if (!value) result_.refusal = format("not a number: %s\n", text.c_str());
    return value;
  }

  std::optional<uint32_t> required_number() {
    auto text = required();
    return text ? number(*text) : std::nullopt;
  }

  // An optional number: absent leaves `value` as it is.
  bool optional_number(uint32_t& value) {
    if (!has_argument()) return true;
    auto parsed = number(args_[next_++]);
    if (parsed) value = *parsed;
    return parsed.has_value();
  }

  void memory_read(uint16_t request) {
    auto address = required_number();
    if (!address) return;
    uint32_t count = 1;
    if (!optional_number(count)) return;
    if (count > max_transfer) {
      result_.refusal = format("count out of range (at most %u, one request): %u\n", max_transfer, count);
      return;
    }
    o().request = request;
    o().address = *address;
    o().read_count = count;
  }

  void memory_write(uint16_t request) {
    auto address = required_number();
    if (!address) return;
    std::vector<uint8_t> values;
    while (has_argument()) {
      const std::string& text = args_[next_++];
      auto value = number(text);
      if (!value) return;
      if (*value > 0xFF) {
        result_.refusal = format("value out of range (0-255): %s\n", text.c_str());
        return;
      }
      if (values.size() == max_values) {
        result_.refusal = format("too many values (at most %d)\n", static_cast<int>(max_values));
        return;
      }
      values.push_back(static_cast<uint8_t>(*value));
    }
    o().request = request;
    o().address = *address;
    o().values = std::move(values);
  }

  void flash_image(flash_action action) {
    auto path = required();
    if (!path) return;
    auto offset = required_number();
    if (!offset) return;
    auto header = required_number();
    if (!header) return;
    if (*header > 1) {
      result_.refusal = format("header must be 0 or 1, not %u\n", *header);
      return;
    }
    o().flash = action;
    o().flash_path = *path;
    o().flash_offset = *offset;
    o().flash_header = *header == 1;
  }

  void eeprom_file(eeprom_action action) {
    auto path = required();
    if (!path) return;
    uint32_t offset = 0, count = 0;
    if (!optional_number(offset)) return;
    if (action == eeprom_action::upload && !optional_number(count)) return;
    o().eeprom = action;
    o().eeprom_path = *path;
    o().eeprom_offset = offset;
    o().eeprom_count = count;
  }

  void boot_mode() {
    if (!has_argument()) {
      o().boot_mode = boot_mode_show;
      return;
    }
    const std::string& text = args_[next_++];
    switch (text.empty() ? '\0' : text[0]) {
      case '0': case 'P': case 'p': o().boot_mode = 0; break;
      case '1': case 'K': case 'k': o().boot_mode = 1; break;
      case '2': case 'T': case 't': o().boot_mode = 2; break;
      case '3': case 'A': case 'a': o().boot_mode = 3; break;
      default: result_.usage = true;
    }
  }

  void device_name() {
    auto given = required();
    if (!given) return;
    auto name = device_name_for(*given);
    if (!name) {
      result_.refusal = format("device name too long (at most %d characters): %s\n",
                               static_cast<int>(device_path_buffer - 5), given->c_str());
      return;
    }
    o().device_name = *name;
  }

  void option(char letter) {
    switch (letter) {
      case 'r': memory_read(request_xdata); break;
      case 'd': memory_read(request_idata); break;
      case 'e': memory_read(request_eeprom); break;
      case 'i': memory_read(request_i2c); break;
      case 'f': memory_read(request_flash); break;
      case 'b': memory_read(request_bulk); break;
      case 'w': memory_write(request_xdata); break;
      case 'D': memory_write(request_idata); break;
      case 'E': memory_write(request_eeprom); break;
      case 'I': memory_write(request_i2c); break;
      case 'F': memory_write(request_flash); break;
      case 'B': memory_write(request_bulk); break;
      case 'P': flash_image(flash_action::program); break;
      case 'p': flash_image(flash_action::verify); break;
      case 'L': eeprom_file(eeprom_action::download); break;
      case 'l': eeprom_file(eeprom_action::upload); break;
      case 'A':
        if (auto path = required()) o().fpga_path = *path;
        break;
      case 'H':
        if (auto path = required()) o().hex_path = *path;
        break;
      case 'R':
        o().boot_reset = true;
        o().boot_path = has_argument() ? args_[next_++] : std::string();
        break;
      case 'M': boot_mode(); break;
      case 'N': device_name(); break;
      case 'V': {
        auto address = required_number();
        if (!address) return;
        uint32_t count = 0;  // accepted and not used: the image record has a fixed size
        if (!optional_number(count)) return;
        o().image_info = true;
        o().image_address = *address;
        break;
      }
      case 'k':
        if (auto port = required_number()) o().link_port = *port;
        break;
      case 'm': o().mode_query = true; break;
      case 's': o().status = true; break;
      case 't': o().delay_scan = !o().delay_scan; break;
      case 'v': o().version = true; break;
      default: result_.usage = true;
    }
  }

  options& o() { return result_.opts; }

  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  parse_result result_;
};

}  // namespace

std::optional<uint32_t> parse_number(const std::string& text) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
  if (text == "0x" || text == "0X") return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || end == text.c_str() || *end != '\0' || value > 0xFFFFFFFFull) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

parse_result parse_command_line(const std::vector<std::string>& args) {
  return parser(args).run();
}

}  // namespace zamdiag
