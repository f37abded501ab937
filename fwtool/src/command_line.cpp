// Command-line parsing and the exit status rule.
#include "command_line.h"

namespace fwtool {

const char* const usage_text =
    "usage: fwtool [script [test name]]\n"
    "       fwtool --help | --version\n"
    "  without arguments the menus run; with a topology script (.test) that case runs once\n"
    "  and the program exits with its verdict flags (see fwtool(1)).\n";

command_line parse_command_line(int argc, const char* const argv[], const std::string& folder) {
  command_line c;
  if (argc <= 1) return c;
  const std::string first = argv[1];
  if (first == "-h" || first == "--help" || first == "-?") {
    c.help = true;
    return c;
  }
  if (first == "--version") {
    c.version = true;
    return c;
  }
  c.menus = false;
  if (argc > 3) {
    c.error = "too many arguments";
    return c;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]).size() > max_field_length) {
      c.error = std::string(i == 1 ? "the script path" : "the test name") + " is longer than 255 characters";
      return c;
    }
  }
  if (first.empty()) {
    c.error = "the script path is empty";
    return c;
  }
  const bool absolute = first[0] == '/' || first[0] == '\\';
  const std::string full = absolute ? first : folder + "/" + first;
  const std::size_t split = full.find_last_of("/\\");
  c.script_dir = full.substr(0, split);
  c.script_file = full.substr(split + 1);
  c.test_name = argc == 3 ? argv[2] : c.script_file;
  if (c.script_file.empty()) {
    c.error = "the script path names a folder, not a file";
  } else if (c.test_name.empty() || c.test_name.find_first_of("/\\") != std::string::npos ||
             c.test_name.find("..") != std::string::npos) {
    // The test name becomes part of the packet log's path.
    c.error = "the test name \"" + c.test_name + "\" must not be empty or contain \"/\", \"\\\" or \"..\"";
  }
  return c;
}

uint32_t reported_status(uint32_t status) {
  return status != 0 && (status & 0xFF) == 0 ? status | 0x80u : status;
}

}  // namespace fwtool
