// The command line `fwtool [script [test name]]`, checked before anything runs.
#pragma once

#include <cstdint>
#include <string>

namespace fwtool {

inline constexpr std::size_t max_field_length = 255;

struct command_line {
  bool menus = true;  // no script given
  bool help = false;
  bool version = false;  // --version: print the version line
  std::string script_dir;
  std::string script_file;
  std::string test_name;
  std::string error;  // why the command line was refused; empty when accepted
};

// Splits the script's full path (relative paths resolved against `folder`) into folder
// and file; the test name defaults to the file name. Refuses fields longer than 255
// characters and a test name that could leave the logs folder.
command_line parse_command_line(int argc, const char* const argv[], const std::string& folder);

// The process exit status of a 32-bit status: its low byte, 0x80 when a non-zero status
// has a low byte of 0.
uint32_t reported_status(uint32_t status);

extern const char* const usage_text;

}  // namespace fwtool
