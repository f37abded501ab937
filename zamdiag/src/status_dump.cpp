// The status dump.
#include "status_dump.h"

#include <string>

#include "card_info.h"
#include "card_modes.h"
#include "ezusb_map.h"
#include "print_format.h"

namespace zamdiag {
namespace {

constexpr const char* unreadable = "read failed\n";

const char* on_off(uint8_t flags, uint8_t bit) { return (flags & bit) != 0 ? "on" : "off"; }

std::string dip_switch_text(uint8_t flags) {
  if ((flags & flags_dip_valid) == 0) return format("unknown (%02x) old firmware??\n", flags);
  return format("%s %s %s%s\n", on_off(flags, flags_dip3_debug), on_off(flags, flags_dip2),
                on_off(flags, flags_dip1),
                (flags & flags_dip3_debug) != 0 ? " - ZAM IN DEBUG MODE !!!" : "");
}

std::string current_mode_text(uint8_t mode) {
  switch (mode) {
    case mode_add_in_card: return "add-in card mode\n";
    case mode_known_endpoint: return "known endpoint mode\n";
    case mode_topology: return "topology mode\n";
    default: return format("unknown FPGA image (%02x)\n", mode);
  }
}

std::string boot_mode_text(int mode) {
  switch (mode) {
    case 1: return "known endpoint mode\n";
    case 2: return "topology mode\n";
    case 3: return "add-in card mode\n";
    default: return format("unknown FPGA image (%02x)\n", mode);
  }
}

}  // namespace

int status_dump(tool_context& tool, const platform::local_time& now) {
  card_port& card = tool.card;
  bool complete = true;
  auto value_or_failure = [&complete](const std::optional<std::string>& text) {
    complete = complete && text.has_value();
    return text.value_or(unreadable);
  };
  const std::string dashes = std::string(70, '-') + "\n";
  tool.out << "\n" << dashes << "ZAM status dump                " << date_text(now) << dashes;

  const auto version = read_firmware_version(card);
  tool.out << "Firmware version               "
           << value_or_failure(version ? std::optional(version_text(*version) + "\n") : std::nullopt);

  tool.out << "DIP Switch 3/2/1               "
           << value_or_failure(version ? std::optional(dip_switch_text(version->flags)) : std::nullopt);

  std::optional<std::string> current;
  if (version && (version->flags & flags_fpga_configured) == 0) {
    current = "FPGA NOT CONFIGURED !!!\n";
  } else if (version) {
    if (auto mode = card.read_byte(request_xdata, xdata_mode_register)) current = current_mode_text(*mode);
  }
  tool.out << "Current mode                   " << value_or_failure(current);

  std::optional<std::string> next;
  if (version && (version->flags & flags_dip3_debug) != 0) {
    next = boot_mode_text(version->flags & (flags_dip2 | flags_dip1));
  } else if (version) {
    if (auto mode = read_boot_mode(card)) next = boot_mode_text(*mode);
  }
  tool.out << "Mode after power cycle         " << value_or_failure(next);

  std::optional<std::string> link;
  const auto port_a = card.read_byte(request_xdata, xdata_link_status_a);
  const auto port_b = port_a ? card.read_byte(request_xdata, xdata_link_status_b) : std::nullopt;
  if (port_a && port_b) {
    link = format("%02x%02x\n", *port_a & link_state_mask, *port_b & link_state_mask);
  }
  tool.out << "Link status                    " << value_or_failure(link);

  const struct {
    const char* label;
    uint32_t address;
  } images[] = {{"FPGA image add-in card mode    ", flash_image_add_in_card},
                {"FPGA image topology mode       ", flash_image_topology},
                {"FPGA image known endpoint mode ", flash_image_known_endpoint}};
  for (const auto& image : images) {
    bool read_ok = false;
    tool.out << image.label << image_info_text(card, image.address, read_ok);
    complete = complete && read_ok;
  }
  tool.out << dashes;
  return complete ? status::ok : status::failed;
}

}  // namespace zamdiag
