// --help and --version, shared by every program.
#include "platform/standard_options.h"

#include <cctype>
#include <cstdio>

#include "zam_version.h"

namespace platform {

const char* suite_version() { return ZAM_SUITE_VERSION; }

std::string version_line(std::string_view program) {
  return std::string(program) + " (ZAM PCI Express test suite) " + suite_version() + "\n";
}

std::string program_name(std::string_view argv0) {
  const std::size_t slash = argv0.find_last_of("/\\");
  if (slash != std::string_view::npos) argv0.remove_prefix(slash + 1);
  std::string name(argv0);
  std::string tail = name.size() > 4 ? name.substr(name.size() - 4) : std::string();
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (tail == ".exe") name.resize(name.size() - 4);
  return name;
}

standard_option standard_option_of(std::string_view argument) {
  if (argument == "--help") return standard_option::help;
  if (argument == "--version") return standard_option::version;
  return standard_option::none;
}

standard_option lone_standard_option(int argc, const char* const* argv) {
  return argc == 2 && argv[1] != nullptr ? standard_option_of(argv[1]) : standard_option::none;
}

bool answered_lone_standard_option(int argc, const char* const* argv, std::string_view program,
                                   const std::function<void()>& print_usage) {
  switch (lone_standard_option(argc, argv)) {
    case standard_option::help:
      print_usage();
      break;
    case standard_option::version:
      std::fputs(version_line(program).c_str(), stdout);
      break;
    case standard_option::none:
      return false;
  }
  std::fflush(stdout);
  return true;
}

}  // namespace platform
