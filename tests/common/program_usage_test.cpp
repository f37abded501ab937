// The compliance programs answer a lone --help or --version before their set-up and keep
// their own command line (-h, unknown arguments, exit 0x80000007) for everything else.
#include "program_usage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../TXN_BFT_NegotiatedLinkWidth/TXN_BFT_NegotiatedLinkWidth.h"
#include "link_programs.h"
#include "platform/standard_options.h"
#include "temp_folder.h"
#include "txn_programs.h"

namespace {

using runner = std::function<VEXO_STATUS_t(int, char**)>;

struct program_runner {
  const char* name;
  runner run;
  bool prints_usage_on_h;  // the link programs print the usage line for -h, the others nothing
};

const std::vector<program_runner>& runners() {
  static const std::vector<program_runner> all = {
      {"BadLCRC_EP_USW", [](int argc, char** argv) { return zam::run_link_program(BadLCRC_EP_USW_program(), argc, argv); },
       true},
      {"TXN_BFT_CompletionTimeout_EP",
       [](int argc, char** argv) { return zam::run_txn_program(TXN_BFT_CompletionTimeout_EP_program(), argc, argv); },
       false},
      {"TXN_BFT_NegotiatedLinkWidth", [](int argc, char** argv) { return run_negotiated_link_width(argc, argv); },
       false},
  };
  return all;
}

struct outcome {
  VEXO_STATUS_t status;
  std::string printed;
};

outcome run_with(const program_runner& program, std::vector<std::string> args) {
  const std::string argv0 = std::string("/opt/zam/bin/") + program.name;
  args.insert(args.begin(), argv0);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStdout();
  const VEXO_STATUS_t status = program.run(static_cast<int>(args.size()), argv.data());
  return {status, testing::internal::GetCapturedStdout()};
}

std::string usage_line(const char* name) {
  return std::string("/opt/zam/bin/") + name +
         ". [-l <name of log file> ] [ -d <name of dat file>] [-h for help]\n";
}

// Each run happens in a folder of its own: the link width program keeps its campaign file
// in the current folder.
TEST(ProgramUsage, LoneHelpAndVersionEndTheRunWithZero) {
  const vexo_test::temp_folder folder;
  for (const program_runner& program : runners()) {
    SCOPED_TRACE(program.name);
    const outcome help = run_with(program, {"--help"});
    EXPECT_EQ(help.status, VEXO_STATUS_SUCCESS);
    EXPECT_EQ(help.printed, usage_line(program.name));
    const outcome version = run_with(program, {"--version"});
    EXPECT_EQ(version.status, VEXO_STATUS_SUCCESS);
    EXPECT_EQ(version.printed, std::string(program.name) + " (ZAM PCI Express test suite) " +
                                   platform::suite_version() + "\n");
  }
  // Nothing was written: no log, no campaign file.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
    EXPECT_FALSE(entry.is_regular_file()) << entry.path();
  }
}

TEST(ProgramUsage, OwnCommandLineIsKeptBesideTheNewOptions) {
  const vexo_test::temp_folder folder;
  for (const program_runner& program : runners()) {
    SCOPED_TRACE(program.name);
    // -h is the programs' own help: the usage line (link programs only) and 0x80000007.
    const outcome h = run_with(program, {"-h"});
    EXPECT_EQ(h.status, VEXO_STATUS_NO_LOG_FILE);
    EXPECT_EQ(h.printed.find(". [-l <name of log file> ]") != std::string::npos, program.prints_usage_on_h)
        << h.printed;
    // Beside other arguments --help is an unknown argument the option parser skips: the
    // run goes on to the DAT file, which is missing here.
    const outcome beside = run_with(program, {"-d", "/nonexistent/zam.dat", "--help"});
    EXPECT_NE(beside.status, VEXO_STATUS_SUCCESS);
    EXPECT_EQ(beside.printed.find(". [-l <name of log file> ]"), std::string::npos) << beside.printed;
    EXPECT_EQ(beside.printed.find("ZAM PCI Express test suite"), std::string::npos) << beside.printed;
    // The value of -d is a file name, even when it reads "--version".
    const outcome value = run_with(program, {"-d", "--version"});
    EXPECT_NE(value.status, VEXO_STATUS_SUCCESS);
    EXPECT_EQ(value.printed.find("ZAM PCI Express test suite"), std::string::npos) << value.printed;
  }
}

}  // namespace
