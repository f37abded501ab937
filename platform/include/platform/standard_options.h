// The options every program of the suite answers besides its own: --help and --version.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// The suite's version as the build states it ("0.1").
const char* suite_version();

// "<program> (ZAM PCI Express test suite) <version>\n".
std::string version_line(std::string_view program);

// The name a program goes by from argv[0]: without its folder and without ".exe".
std::string program_name(std::string_view argv0);

enum class standard_option { none, help, version };

// What one argument asks for: "--help", "--version", or neither.
standard_option standard_option_of(std::string_view argument);

// What a command line asks for when its only argument is "--help" or "--version"; none for
// every other command line, so the string keeps its ordinary meaning beside other arguments.
standard_option lone_standard_option(int argc, const char* const* argv);

// Answers a lone --help (print_usage writes the usage to standard output) or --version (the
// version line on standard output). True when it answered: the program then exits with 0.
bool answered_lone_standard_option(int argc, const char* const* argv, std::string_view program,
                                   const std::function<void()>& print_usage);

}  // namespace platform
