// The program itself: exit codes of the process, and no card on a machine without one.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct program_result {
  int exit_code = -1;
  std::string output;  // standard output and standard error together
};

// Runs zamdiag without a lab, so that only this machine's USB devices can answer.
program_result zamdiag(const std::string& args) {
  const std::string command = "env -u ZAMSIM_SOCKET ZAM_USB_ID=04b4:8613 " + std::string(ZAMDIAG_EXE) + " " + args + " 2>&1";
  program_result result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
  const int status = ::pclose(pipe);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

TEST(ZamdiagProgramTest, ExitCodesAreTheLowByteOfTheStatus) {
  auto r = zamdiag("-h");
  EXPECT_EQ(r.exit_code, 255);  // -1
  EXPECT_EQ(r.output.rfind("\nusage: zamdiag <options>\n", 0), 0u);
  r = zamdiag("-w 0x100 256");
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(r.output, "value out of range (0-255): 256\n");
}

TEST(ZamdiagProgramTest, NoCardAttachedOnThisMachine) {
  const auto r = zamdiag("-N 9 -s");
  EXPECT_EQ(r.exit_code, 1);
#ifdef ZAM_HAVE_LIBUSB
  EXPECT_EQ(r.output.rfind("usb: no card attached for ezusb-9: looked for USB device 04b4:8613 number 9 (", 0), 0u)
      << r.output;
#endif
  EXPECT_NE(r.output.find("Can't open USB device driver ezusb-9\n"), std::string::npos) << r.output;
}

}  // namespace
