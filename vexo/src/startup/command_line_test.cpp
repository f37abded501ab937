// Command-line options of the test programs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vexo.h"

namespace {

struct parsed {
  int help;
  std::string dat;
  std::string log;
};

parsed parse(std::initializer_list<const char*> arguments) {
  std::vector<const char*> argv(arguments);
  char dat[1000];
  char log[1000];
  std::memset(dat, 'x', sizeof dat);
  std::memset(log, 'x', sizeof log);
  const int help = ParseCmdLineOptions(static_cast<int>(argv.size()), argv.data(), dat, log);
  return {help, dat, log};
}

TEST(CommandLineTest, OptionsIgnoreCaseSkipUnknownAndFindHelp) {
  parsed result = parse({"prog", "-D", "run.dat", "-L", "run.xml"});
  EXPECT_EQ(result.help, 0);
  EXPECT_EQ(result.dat, "run.dat");
  EXPECT_EQ(result.log, "run.xml");

  result = parse({"prog", "-d", "a.dat", "-x", "-l", "b.xml", "extra"});
  EXPECT_EQ(result.help, 0);
  EXPECT_EQ(result.dat, "a.dat");
  EXPECT_EQ(result.log, "b.xml");

  result = parse({"prog", "-d", "a.dat", "-H"});
  EXPECT_EQ(result.help, 1);
  EXPECT_EQ(result.dat, "a.dat");

  // Buffers start empty; an option's value is taken whatever it looks like.
  result = parse({"prog", "-h", "-d", "-h"});
  EXPECT_EQ(result.help, 1);
  EXPECT_EQ(result.dat, "-h");
  EXPECT_EQ(result.log, "");
}

TEST(CommandLineTest, OptionAsLastArgumentCopiesNothing) {
  parsed result = parse({"prog", "-l", "x.xml", "-d"});
  EXPECT_EQ(result.dat, "");
  EXPECT_EQ(result.log, "x.xml");
  result = parse({"prog"});
  EXPECT_EQ(result.help, 0);
  EXPECT_EQ(result.dat, "");
}

TEST(CommandLineTest, LongNamesAreCutToTheBuffer) {
  const std::string long_name(5000, 'n');
  char dat[1000 + 16];
  std::memset(dat, '#', sizeof dat);
  char log[1000];
  const char* argv[] = {"prog", "-d", long_name.c_str()};
  ParseCmdLineOptions(3, argv, dat, log);
  EXPECT_EQ(std::string(dat), std::string(999, 'n'));
  for (std::size_t i = 1000; i < sizeof dat; ++i) EXPECT_EQ(dat[i], '#') << "overrun at " << i;
}

}  // namespace
