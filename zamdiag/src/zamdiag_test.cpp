// The run as a whole: device names, usage text, refused input, exit codes.
#include "zamdiag.h"

#include "platform/standard_options.h"
#include "usage_text.h"
#include "zamdiag_fixture.h"

namespace zamdiag::testing {
namespace {

TEST_F(ZamdiagTest, DeviceNameRuleOpensTheNamedCard) {
  fake_ezusb second("ezusb-1");
  fake_ezusb third("ezusb-2");
  EXPECT_EQ(zamdiag({"-N", "1", "-v"}), 0);
  EXPECT_EQ(out_.str(), "2.5\n");
  EXPECT_EQ(second.requests.size(), 1u);
  EXPECT_TRUE(card_.requests.empty());
  EXPECT_EQ(zamdiag({"-N", "ezusb-2", "-v"}), 0);
  EXPECT_EQ(third.requests.size(), 1u);
  EXPECT_EQ(zamdiag({"-N", "7", "-v"}), 1);
  EXPECT_EQ(err_.str(), "Can't open USB device driver ezusb-7\n");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(ZamdiagTest, UsageTextForHelpUnknownOptionsAndNothingToDo) {
  const std::string usage = usage_text();
  EXPECT_EQ(usage.substr(0, 44), "\nusage: zamdiag <options>\n\nOptions include:\n");
  EXPECT_NE(usage.find("\n -M <mode>              choose the mode to be loaded on next boot\n"
                       "                          (mode=[AIC|TOP|KEP])\n"),
            std::string::npos);
  EXPECT_EQ(usage.substr(usage.size() - 47), " -s                     print status ZAM card\n\n");
  EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 29);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-h"}, {"-q"}, {"-M", "x"}, {"-k"}, {"-P", "f", "0"}}) {
    EXPECT_EQ(zamdiag(args), -1) << args[0];
    EXPECT_EQ(out_.str(), usage) << args[0];
    EXPECT_TRUE(card_.requests.empty()) << args[0];
  }
  // A write without values does nothing and falls through to the usage text.
  EXPECT_EQ(zamdiag({"-w", "0x100"}), -1);
  EXPECT_EQ(out_.str(), usage);
  EXPECT_TRUE(card_.requests.empty());
  // ... or to a later action.
  EXPECT_EQ(zamdiag({"-w", "0x100", "-M"}), 0);
  EXPECT_EQ(out_.str(), "unknown (00)");
}

TEST_F(ZamdiagTest, LoneHelpAndVersionAnswerWithZeroWithoutTheCard) {
  EXPECT_EQ(zamdiag({"--help"}), 0);
  EXPECT_EQ(out_.str(), usage_text());
  EXPECT_EQ(zamdiag({"--version"}), 0);
  EXPECT_EQ(out_.str(), std::string("zamdiag (ZAM PCI Express test suite) ") + platform::suite_version() + "\n");
  EXPECT_EQ(err_.str(), "");
  EXPECT_TRUE(card_.requests.empty());
  // Beside other options they are unknown options: the usage text and -1, the card untouched.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-s", "--help"}, {"--version", "-v"}, {"--help", "--version"}}) {
    EXPECT_EQ(zamdiag(args), -1) << args[0] << " " << args[1];
    EXPECT_EQ(out_.str(), usage_text());
    EXPECT_TRUE(card_.requests.empty());
  }
}

TEST_F(ZamdiagTest, RefusedInputNeverReachesTheCard) {
  EXPECT_EQ(zamdiag({"-w", "0x100", "1", "300"}), -1);
  EXPECT_EQ(err_.str(), "value out of range (0-255): 300\n");
  EXPECT_EQ(zamdiag({"-N", std::string(60, 'x'), "-v"}), -1);
  EXPECT_EQ(err_.str(), "device name too long (at most 59 characters): " + std::string(60, 'x') + "\n");
  EXPECT_EQ(zamdiag({"-r", "zero"}), -1);
  EXPECT_EQ(err_.str(), "not a number: zero\n");
  EXPECT_EQ(out_.str(), "");
  EXPECT_TRUE(card_.requests.empty());
}

TEST_F(ZamdiagTest, DispatchRunsTheFirstActionInItsOrder) {
  card_.xdata[0xD800] = 4;
  card_.xdata[0x100] = 0x5A;
  // -m comes before -v and the read; its status is the mode register.
  EXPECT_EQ(zamdiag({"-v", "-r", "0x100", "-m"}), 4);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(zamdiag({"-s", "-r", "0x100"}), 0);
  EXPECT_EQ(out_.str(), "0100 5A \n");
  // The memory options share one request code: the last one wins.
  card_.idata[0x20] = 0x77;
  EXPECT_EQ(zamdiag({"-r", "0x20", "-d", "0x20"}), 0);
  EXPECT_EQ(out_.str(), "0020 77 \n");
}

// POSIX: the low byte, and no failure as success. Windows: the whole status.
TEST(ZamdiagExitCodeTest, LowByteOnPosixWholeStatusOnWindows) {
  struct case_t {
    int status, posix, windows;
  };
  const case_t cases[] = {{0, 0, 0},          {1, 1, 1},       {4, 4, 4},          {-1, 255, -1},
                          {-2, 254, -2},      {0x100, 0x80, 0x100}, {0xFF, 255, 0xFF}};
  for (const auto& c : cases) {
#ifdef _WIN32
    EXPECT_EQ(exit_code(c.status), c.windows) << c.status;
#else
    EXPECT_EQ(exit_code(c.status), c.posix) << c.status;
#endif
  }
}

}  // namespace
}  // namespace zamdiag::testing
