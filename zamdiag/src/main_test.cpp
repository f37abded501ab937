// The program itself: exit codes of the process, and no card on a machine without one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/child_run.h"
#include "platform/process.h"

namespace {

// What the process reports for a status of -1: the whole status on Windows, its low byte on
// POSIX.
#ifdef _WIN32
constexpr int exit_minus_one = -1;
#else
constexpr int exit_minus_one = 255;
#endif

struct program_result {
  int exit_code = -1;
  std::string output;  // standard output and standard error together
};

// Runs zamdiag without a lab, so that only this machine's USB devices can answer.
program_result zamdiag(const std::vector<std::string>& args) {
  const auto output = std::filesystem::temp_directory_path() /
                      ("zamdiag_main_" + std::to_string(platform::current_process_id()) + ".txt");
  std::vector<std::string> argv{ZAMDIAG_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  platform::child_run_options options;
  options.output_path = output.string();
  options.input_from_null = true;
  options.extra_environment = {{"ZAMSIM_SOCKET", ""}, {"ZAM_USB_ID", "04b4:8613"}};
  options.timeout_ms = 60000;
  const auto run = platform::run_child(argv, options);
  program_result result;
  EXPECT_TRUE(run.started) << run.error;
  EXPECT_FALSE(run.timed_out);
  result.exit_code = run.exit_code;
  std::ifstream in(output);  // text mode: line ends as on Linux
  std::ostringstream text;
  text << in.rdbuf();
  result.output = text.str();
  in.close();
  std::filesystem::remove(output);
  return result;
}

TEST(ZamdiagProgramTest, ExitCodesAreWhatMainReturned) {
  auto r = zamdiag({"-h"});
  EXPECT_EQ(r.exit_code, exit_minus_one);
  EXPECT_EQ(r.output.rfind("\nusage: zamdiag <options>\n", 0), 0u);
  r = zamdiag({"-w", "0x100", "256"});
  EXPECT_EQ(r.exit_code, exit_minus_one);
  EXPECT_EQ(r.output, "value out of range (0-255): 256\n");
}

TEST(ZamdiagProgramTest, NoCardAttachedOnThisMachine) {
  const auto r = zamdiag({"-N", "9", "-s"});
  EXPECT_EQ(r.exit_code, 1);
#ifdef ZAM_HAVE_LIBUSB
  EXPECT_EQ(r.output.rfind("usb: no card attached for ezusb-9: looked for USB device 04b4:8613 number 9 (", 0), 0u)
      << r.output;
#endif
  EXPECT_NE(r.output.find("Can't open USB device driver ezusb-9\n"), std::string::npos) << r.output;
}

}  // namespace
