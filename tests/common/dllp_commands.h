// The command record of the card's DLLP commands (corrupt, reserved bits, undefined type).
#pragma once

#include "vexo.h"

namespace zam {

// Code, count 1, parameter 0 and parameter byte 0xFF; no match value or mask.
inline vexo_cmd_map_t dllp_command(uint8_t code) {
  vexo_cmd_map_t command{};
  command.command = code;
  vexo_cmd_map_set_count(&command, 1);
  command.parameter = 0;
  command.parameter_byte = 0xFF;
  return command;
}

// The same with the usual match mask over header bytes 0-3.
inline vexo_cmd_map_t masked_dllp_command(uint8_t code) {
  vexo_cmd_map_t command = dllp_command(code);
  const uint8_t mask[4] = {0x7F, 0x30, 0xF3, 0xFF};
  for (int i = 0; i < 4; ++i) command.match_mask[i] = mask[i];
  return command;
}

}  // namespace zam
