// zamsuite's command line.
#pragma once

#include <string>
#include <vector>

namespace zamsuite {

struct suite_options {
  std::string dat_file;        // -d: the device under test (compliance run)
  std::string fwtool_log;      // --fwtool-log: reports from a firmware test tool's main log
  std::string station;         // --station: a fresh lab on this station for every program
  std::vector<std::string> only, skip;
  std::string out_folder = "zamsuite-results";
  std::string junit_path, html_path;  // default: junit.xml and report.html in the out folder
  std::string programs_folder;        // default: the folder of zamsuite itself
  unsigned timeout_s = 600;
  bool list = false;
  bool help = false;
  bool version = false;
};

// Parses argv; false with a message when the command line is wrong.
bool parse_suite_options(int argc, const char* const* argv, suite_options* options, std::string* error);

const char* suite_usage();

}  // namespace zamsuite
