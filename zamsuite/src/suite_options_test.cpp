// zamsuite's command line: values, program choice, and every refusal with its message.
#include "suite_options.h"

#include <gtest/gtest.h>

#include "programs.h"

namespace zamsuite {
namespace {

bool parse(std::vector<const char*> args, suite_options* o, std::string* error) {
  args.insert(args.begin(), "zamsuite");
  return parse_suite_options(static_cast<int>(args.size()), args.data(), o, error);
}

TEST(SuiteOptionsTest, ValuesAndProgramChoice) {
  suite_options o;
  std::string error;
  ASSERT_TRUE(parse({"-d", "a.dat", "--station", "s.station", "--only", "BadLCRC_EP_USW,ReXmitOnNak_EP_USW", "--skip",
                     "ReXmitOnNak_EP_USW", "--out", "res", "--timeout", "30", "--junit", "j.xml", "--html", "h.html"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.dat_file, "a.dat");
  EXPECT_EQ(o.station, "s.station");
  EXPECT_EQ(o.out_folder, "res");
  EXPECT_EQ(o.timeout_s, 30u);
  EXPECT_EQ(o.junit_path, "j.xml");
  EXPECT_EQ(o.html_path, "h.html");
  EXPECT_EQ(chosen_programs(o.only, o.skip), (std::vector<std::string>{"BadLCRC_EP_USW"}));
  // Run order is the suite's, whatever order --only gives.
  EXPECT_EQ(chosen_programs({"BadLCRC_EP_USW", "TXN_BFT_CompletionTimeout_EP"}, {}),
            (std::vector<std::string>{"TXN_BFT_CompletionTimeout_EP", "BadLCRC_EP_USW"}));
  EXPECT_EQ(chosen_programs({}, {}).size(), 15u);
  EXPECT_EQ(chosen_programs({}, {"BadLCRC_EP_USW"}).size(), 14u);

  suite_options help;
  EXPECT_TRUE(parse({"--help"}, &help, &error));
  EXPECT_TRUE(help.help);
  suite_options fw;
  EXPECT_TRUE(parse({"--fwtool-log", "Logs/ORVENLog.txt"}, &fw, &error));
  EXPECT_EQ(fw.fwtool_log, "Logs/ORVENLog.txt");
}

TEST(SuiteOptionsTest, HelpAndVersionAnywhereNeedNoDatFile) {
  std::string error;
  suite_options version;
  EXPECT_TRUE(parse({"--version"}, &version, &error)) << error;
  EXPECT_TRUE(version.version);
  EXPECT_FALSE(version.help);
  suite_options among;
  EXPECT_TRUE(parse({"--out", "res", "--version", "--only", "BadLCRC_EP_USW"}, &among, &error)) << error;
  EXPECT_TRUE(among.version);
  EXPECT_EQ(among.out_folder, "res");
  suite_options help_among;
  EXPECT_TRUE(parse({"--station", "s.station", "--help"}, &help_among, &error)) << error;
  EXPECT_TRUE(help_among.help);
  // An option's value is a value, even when it reads like an option.
  suite_options value;
  EXPECT_TRUE(parse({"-d", "--version"}, &value, &error)) << error;
  EXPECT_FALSE(value.version);
  EXPECT_EQ(value.dat_file, "--version");
  // A wrong argument is still refused beside them.
  suite_options wrong;
  EXPECT_FALSE(parse({"--version", "--bogus"}, &wrong, &error));
  EXPECT_EQ(error, "unknown argument \"--bogus\"");
}

TEST(SuiteOptionsTest, RefusalsSayWhatIsWrong) {
  const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
      {{}, "give a DAT file (-d) or a firmware test tool log (--fwtool-log)"},
      {{"-d"}, "-d needs a value"},
      {{"-d", ""}, "-d needs a value"},
      {{"-d", "a", "--fwtool-log", "b"}, "-d and --fwtool-log do not go together"},
      {{"-d", "a", "--only", "NoSuchProgram"}, "--only: unknown program \"NoSuchProgram\" (zamsuite --list shows the programs)"},
      {{"-d", "a", "--skip", ","}, "--skip needs a comma-separated list of programs"},
      {{"-d", "a", "--timeout", "0"}, "--timeout: \"0\" is not a number of seconds from 1 to 86400"},
      {{"-d", "a", "--timeout", "5x"}, "--timeout: \"5x\" is not a number of seconds from 1 to 86400"},
      {{"-d", "a", "--timeout", "-1"}, "--timeout: \"-1\" is not a number of seconds from 1 to 86400"},
      {{"-d", "a", "--bogus"}, "unknown argument \"--bogus\""},
  };
  for (const auto& [args, message] : cases) {
    suite_options o;
    std::string error;
    EXPECT_FALSE(parse(args, &o, &error)) << message;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace zamsuite
