// Firmware version, FLASH image information and the date text they print.
#include "card_info.h"

#include "ezusb_map.h"
#include "print_format.h"

namespace zamdiag {
namespace {

uint32_t be32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
         static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

}  // namespace

std::optional<firmware_version> read_firmware_version(card_port& card) {
  uint8_t record[4] = {};
  if (!card.read_exact(request_firmware_version, 0, record, sizeof record)) return std::nullopt;
  return firmware_version{record[0], record[1], record[2], record[3]};
}

std::string version_text(const firmware_version& version) {
  std::string text = format("%d.%d", version.major, version.minor);
  if (version.build != 0) text += format(".%d", version.build);
  return text;
}

std::string date_text(const platform::local_time& time) {
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return format("%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", days[time.day_of_week % 7],
                months[(time.month + 11) % 12], time.day, time.hour, time.minute, time.second,
                time.year);
}

std::string image_info_text(card_port& card, uint32_t address, bool& read_ok) {
  uint8_t header[12] = {};
  read_ok = card.read_exact(request_flash, address, header, sizeof header);
  if (!read_ok) return "error reading FLASH\n";
  if (header[0] != 'Z' || header[1] != 'A' || header[2] != 'M') {
    return format("invalid image at 0x%08lx\n", static_cast<unsigned long>(address));
  }
  return format("%d bytes, %s", static_cast<int32_t>(be32(header + 4)),
                date_text(platform::local_time_at(be32(header + 8))).c_str());
}

int show_version(tool_context& tool) {
  const auto version = read_firmware_version(tool.card);
  if (!version) return status::failed;
  tool.out << version_text(*version) << "\n";
  return status::ok;
}

int show_image_info(tool_context& tool, uint32_t address) {
  bool read_ok = false;
  const std::string text = image_info_text(tool.card, address, read_ok);
  tool.out << text;
  // No image where one was asked for is a failure too (the status dump only shows it).
  const bool image = read_ok && text.rfind("invalid image", 0) != 0;
  return image ? status::ok : status::failed;
}

}  // namespace zamdiag
