// Mode register, next-boot mode and link check.
#include "card_modes.h"

#include "ezusb_map.h"
#include "platform/clock.h"
#include "print_format.h"

namespace zamdiag {

std::optional<int> read_boot_mode(card_port& card) {
  int mode = 0;
  for (int bit = 1; bit >= 0; --bit) {
    const uint8_t reg = static_cast<uint8_t>(i2c_boot_mode_register + bit);
    if (!card.write(request_i2c, i2c_boot_mode_device, &reg, 1)) return std::nullopt;
    const auto value = card.read_byte(request_i2c, i2c_boot_mode_device);
    if (!value) return std::nullopt;
    if (*value == 0xFF) mode |= 1 << bit;
  }
  return mode;
}

int write_boot_mode(tool_context& tool, int mode) {
  for (int bit = 0; bit <= 1; ++bit) {
    if (bit == 1) platform::sleep_ms(100);
    const uint8_t bytes[2] = {static_cast<uint8_t>(i2c_boot_mode_register + bit),
                              static_cast<uint8_t>((mode >> bit & 1) != 0 ? 0xFF : 0x00)};
    if (!tool.card.write(request_i2c, i2c_boot_mode_device, bytes, 2)) return status::failed;
  }
  return status::ok;
}

int show_fpga_mode(tool_context& tool) {
  const auto mode = tool.card.read_byte(request_xdata, xdata_mode_register);
  if (!mode) return status::failed;
  switch (*mode) {
    case mode_add_in_card: tool.out << "AIC\n"; break;
    case mode_known_endpoint: tool.out << "KEP\n"; break;
    case mode_topology: tool.out << "TOP\n"; break;
    default: tool.out << format("unknown (%02x)", *mode);
  }
  return status::ok;
}

int mode_query(tool_context& tool) {
  const auto mode = tool.card.read_byte(request_xdata, xdata_mode_register);
  return mode ? *mode : status::failed;
}

int link_check(tool_context& tool, uint32_t port) {
  const auto state =
      tool.card.read_byte(request_xdata, port != 0 ? xdata_link_status_a : xdata_link_status_b);
  if (!state) return status::failed;
  if ((*state & link_state_mask) == link_state_checked) return status::ok;
  tool.err << format("link check: port %c link state is 0x%02x, not 0x%02x\n", port != 0 ? 'A' : 'B',
                     *state & link_state_mask, link_state_checked);
  return status::link_down;
}

}  // namespace zamdiag
