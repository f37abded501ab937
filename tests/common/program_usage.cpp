// The compliance programs' usage line, --help and --version.
#include "program_usage.h"

#include <cstdio>

#include "platform/standard_options.h"

namespace zam {

void print_usage_line(const char* program) {
  std::printf("%s. [-l <name of log file> ] [ -d <name of dat file>] [-h for help]\n", program);
}

bool answered_standard_option(int argc, char* argv[]) {
  if (argc < 1 || argv[0] == nullptr) return false;
  return platform::answered_lone_standard_option(argc, argv, platform::program_name(argv[0]),
                                                 [&] { print_usage_line(argv[0]); });
}

}  // namespace zam
