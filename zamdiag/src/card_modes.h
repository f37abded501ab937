// The card's modes: the FPGA mode register, the next-boot mode in the I2C device, and the
// link check.
#pragma once

#include <optional>

#include "tool_context.h"

namespace zamdiag {

// The next-boot mode (0-3) from the I2C device; nullopt when a register could not be read.
std::optional<int> read_boot_mode(card_port& card);

// -M <mode>: stores the two bits of the mode, 100 ms apart.
int write_boot_mode(tool_context& tool, int mode);

// -M without a mode: the FPGA mode register by name.
int show_fpga_mode(tool_context& tool);

// -m: the status is the FPGA mode register.
int mode_query(tool_context& tool);

// -k <port>: ok when the port's link state is 0x10 (port 0 is port B), else link_down.
int link_check(tool_context& tool, uint32_t port);

}  // namespace zamdiag
