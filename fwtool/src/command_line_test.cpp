// The command line: path splitting, refused fields, help, and the exit status rule.
#include "command_line.h"

#include <gtest/gtest.h>

namespace {

fwtool::command_line parse(std::vector<std::string> args) {
  std::vector<const char*> argv{"fwtool"};
  for (const auto& a : args) argv.push_back(a.c_str());
  return fwtool::parse_command_line(static_cast<int>(argv.size()), argv.data(), "/bench");
}

TEST(CommandLineTest, SplitsTheScriptPathAndNamesTheTest) {
  EXPECT_TRUE(parse({}).menus);
  EXPECT_TRUE(parse({"--help"}).help);
  auto c = parse({"Tests/Legacy/Case_2_2_Simple.test"});
  EXPECT_FALSE(c.menus);
  EXPECT_EQ(c.error, "");
  EXPECT_EQ(c.script_dir, "/bench/Tests/Legacy");
  EXPECT_EQ(c.script_file, "Case_2_2_Simple.test");
  EXPECT_EQ(c.test_name, "Case_2_2_Simple.test");
  c = parse({"C:\\cases\\x.test", "My Case"});
  EXPECT_EQ(c.script_dir, "/bench/C:\\cases");
  c = parse({"/abs/x.test", "My Case"});
  EXPECT_EQ(c.script_dir, "/abs");
  EXPECT_EQ(c.test_name, "My Case");
}

TEST(CommandLineTest, VersionIsAFirstArgumentOnly) {
  const auto version = parse({"--version"});
  EXPECT_TRUE(version.version);
  EXPECT_FALSE(version.help);
  EXPECT_EQ(version.error, "");
  // A script of that name is still reachable by its path, and a test name may read so.
  auto c = parse({"./--version"});
  EXPECT_FALSE(c.version);
  EXPECT_EQ(c.script_file, "--version");
  c = parse({"Tests/x.test", "--version"});
  EXPECT_FALSE(c.version);
  EXPECT_EQ(c.test_name, "--version");
  EXPECT_FALSE(parse({"--help"}).version);
}

TEST(CommandLineTest, RefusesLongFieldsAndNamesThatLeaveTheLogsFolder) {
  EXPECT_EQ(parse({std::string(256, 'a')}).error, "the script path is longer than 255 characters");
  EXPECT_EQ(parse({std::string(255, 'a')}).error, "");
  EXPECT_EQ(parse({"x.test", std::string(256, 'n')}).error, "the test name is longer than 255 characters");
  for (const char* bad : {"../escape", "a/b", "a\\b", "..", ""}) {
    EXPECT_NE(parse({"x.test", bad}).error, "") << bad;
  }
  EXPECT_EQ(parse({"x.test", "fine name"}).error, "");
  EXPECT_NE(parse({"dir/"}).error, "");
  EXPECT_EQ(parse({"a", "b", "c"}).error, "too many arguments");
}

TEST(CommandLineTest, ExitStatusNeverReadsAsSuccessForAFailure) {
  EXPECT_EQ(fwtool::reported_status(0), 0u);
  EXPECT_EQ(fwtool::reported_status(0x80000000u), 0x80000080u);
  EXPECT_EQ(fwtool::reported_status(0xA0000000u), 0xA0000080u);
  EXPECT_EQ(fwtool::reported_status(0x80000006u), 0x80000006u);
}

}  // namespace
