// --help and --version: only a lone argument is answered, and the version line is the build's.
#include "platform/standard_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using platform::standard_option;

standard_option asked(std::vector<const char*> argv) {
  return platform::lone_standard_option(static_cast<int>(argv.size()), argv.data());
}

TEST(StandardOptionsTest, OnlyALoneHelpOrVersionIsAnswered) {
  EXPECT_EQ(asked({"prog", "--help"}), standard_option::help);
  EXPECT_EQ(asked({"prog", "--version"}), standard_option::version);
  EXPECT_EQ(asked({"prog"}), standard_option::none);
  EXPECT_EQ(asked({"prog", "--help", "x"}), standard_option::none) << "beside other arguments";
  EXPECT_EQ(asked({"prog", "-d", "--version"}), standard_option::none) << "an option's value";
  EXPECT_EQ(asked({"prog", "-h"}), standard_option::none) << "programs keep their own -h";
  EXPECT_EQ(asked({"prog", "--HELP"}), standard_option::none);
  EXPECT_EQ(asked({"prog", "--help="}), standard_option::none);
  EXPECT_EQ(asked({"prog", "--versions"}), standard_option::none);
  EXPECT_EQ(asked({"prog", ""}), standard_option::none);
}

TEST(StandardOptionsTest, VersionLineCarriesTheBuildsVersion) {
  EXPECT_STREQ(platform::suite_version(), ZAM_EXPECTED_VERSION);
  EXPECT_EQ(platform::version_line("zamsim"),
            std::string("zamsim (ZAM PCI Express test suite) ") + ZAM_EXPECTED_VERSION + "\n");
}

TEST(StandardOptionsTest, ProgramNameDropsFolderAndExeSuffix) {
  EXPECT_EQ(platform::program_name("/usr/bin/zamsim"), "zamsim");
  EXPECT_EQ(platform::program_name("./build/default/bin/BadLCRC_EP_USW"), "BadLCRC_EP_USW");
  EXPECT_EQ(platform::program_name("C:\\zam\\bin\\Brumby.EXE"), "Brumby");
  EXPECT_EQ(platform::program_name("fwtool.exe"), "fwtool");
  EXPECT_EQ(platform::program_name("fwtool"), "fwtool");
  EXPECT_EQ(platform::program_name(".exe"), ".exe") << "nothing but the suffix is a name";
  EXPECT_EQ(platform::program_name("lattix-check.exe.bak"), "lattix-check.exe.bak");
}

TEST(StandardOptionsTest, AnswerPrintsUsageOrVersionOnStandardOutput) {
  struct row {
    std::vector<const char*> argv;
    bool answered;
    std::string printed;
  };
  const std::vector<row> rows = {
      {{"x/TXN_BFT_NegotiatedLinkWidth", "--help"}, true, "usage text\n"},
      {{"x/TXN_BFT_NegotiatedLinkWidth", "--version"}, true, platform::version_line("named")},
      {{"x/TXN_BFT_NegotiatedLinkWidth", "--version", "-d"}, false, ""},
      {{"x/TXN_BFT_NegotiatedLinkWidth"}, false, ""},
  };
  for (const row& r : rows) {
    int usage_calls = 0;
    testing::internal::CaptureStdout();
    const bool answered = platform::answered_lone_standard_option(
        static_cast<int>(r.argv.size()), r.argv.data(), "named", [&] {
          ++usage_calls;
          std::fputs("usage text\n", stdout);
        });
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(answered, r.answered) << r.argv.size() << " arguments";
    EXPECT_EQ(printed, r.printed);
    EXPECT_EQ(usage_calls, r.printed == "usage text\n" ? 1 : 0);
  }
}

}  // namespace
