// Parsing zamsuite's command line.
#include "suite_options.h"

#include <cstdlib>
#include <sstream>

#include "programs.h"

namespace zamsuite {
namespace {

std::vector<std::string> split_names(const std::string& list) {
  std::vector<std::string> names;
  std::stringstream in(list);
  std::string name;
  while (std::getline(in, name, ',')) {
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

bool check_names(const std::vector<std::string>& names, const std::string& flag, std::string* error) {
  for (const std::string& name : names) {
    if (!is_compliance_program(name)) {
      *error = flag + ": unknown program \"" + name + "\" (zamsuite --list shows the programs)";
      return false;
    }
  }
  if (names.empty()) {
    *error = flag + " needs a comma-separated list of programs";
    return false;
  }
  return true;
}

}  // namespace

const char* suite_usage() {
  return "usage: zamsuite -d DATFILE [options]      run the compliance programs, write the reports\n"
         "       zamsuite --fwtool-log FILE [options] reports from the firmware test tool's main log\n"
         "       zamsuite --list | --help | --version\n"
         "\n"
         "  -d, --dat FILE       the device under test (DAT file)\n"
         "  --station FILE       run every program on a fresh virtual lab of this station\n"
         "                       (without it: the lab named by ZAMSIM_SOCKET, else real hardware)\n"
         "  --only A,B,...       run only these programs\n"
         "  --skip A,B,...       leave these programs out\n"
         "  --out DIR            results folder (default zamsuite-results): one working folder\n"
         "                       per program, junit.xml and report.html\n"
         "  --junit FILE         the JUnit XML report (default DIR/junit.xml)\n"
         "  --html FILE          the HTML report (default DIR/report.html)\n"
         "  --timeout SECONDS    time limit per program (default 600)\n"
         "  --programs DIR       where the programs are (default: beside zamsuite)\n"
         "  --fwtool-log FILE    a firmware test tool main log (Logs/ORVENLog.txt) to report on\n"
         "  --list               print the compliance programs in run order\n"
         "  -h, --help           this text\n"
         "  --version            the suite's version\n"
         "\n"
         "Exit status: 0 every program (case) passed; 1 at least one did not; 2 wrong command\n"
         "line; 3 the run could not be done or a report could not be written.\n";
}

bool parse_suite_options(int argc, const char* const* argv, suite_options* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](std::string* target) {
      if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
        *error = arg + " needs a value";
        return false;
      }
      *target = argv[++i];
      return true;
    };
    std::string list;
    if (arg == "-h" || arg == "--help") {
      options->help = true;
    } else if (arg == "--version") {
      options->version = true;
    } else if (arg == "--list") {
      options->list = true;
    } else if (arg == "-d" || arg == "--dat") {
      if (!value(&options->dat_file)) return false;
    } else if (arg == "--fwtool-log") {
      if (!value(&options->fwtool_log)) return false;
    } else if (arg == "--station") {
      if (!value(&options->station)) return false;
    } else if (arg == "--out") {
      if (!value(&options->out_folder)) return false;
    } else if (arg == "--junit") {
      if (!value(&options->junit_path)) return false;
    } else if (arg == "--html") {
      if (!value(&options->html_path)) return false;
    } else if (arg == "--programs") {
      if (!value(&options->programs_folder)) return false;
    } else if (arg == "--only" || arg == "--skip") {
      if (!value(&list)) return false;
      auto& target = arg == "--only" ? options->only : options->skip;
      const auto names = split_names(list);
      if (!check_names(names, arg, error)) return false;
      target.insert(target.end(), names.begin(), names.end());
    } else if (arg == "--timeout") {
      std::string text;
      if (!value(&text)) return false;
      char* end = nullptr;
      const unsigned long seconds = std::strtoul(text.c_str(), &end, 10);
      if (*end != '\0' || seconds == 0 || seconds > 86400 || text[0] == '-') {
        *error = "--timeout: \"" + text + "\" is not a number of seconds from 1 to 86400";
        return false;
      }
      options->timeout_s = static_cast<unsigned>(seconds);
    } else {
      *error = "unknown argument \"" + arg + "\"";
      return false;
    }
  }
  if (options->help || options->version || options->list) return true;
  if (options->dat_file.empty() == options->fwtool_log.empty()) {
    *error = options->dat_file.empty() ? "give a DAT file (-d) or a firmware test tool log (--fwtool-log)"
                                       : "-d and --fwtool-log do not go together";
    return false;
  }
  return true;
}

}  // namespace zamsuite
