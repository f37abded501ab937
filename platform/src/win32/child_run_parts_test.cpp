// The parts a Windows run is built from: quoted command lines, environment blocks, and which
// file a program name stands for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "command_line.h"
#include "environment_block.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "program_search.h"

namespace {

using platform::detail::command_line;
using platform::detail::environment_block;
using platform::detail::find_program;
using platform::detail::quote_argument;

TEST(Win32CommandLineTest, QuotesOnlyWhatTheParserWouldSplitOrExpand) {
  EXPECT_EQ(quote_argument("plain\\path"), "plain\\path");
  EXPECT_EQ(quote_argument(""), "\"\"");
  EXPECT_EQ(quote_argument("two words"), "\"two words\"");
  EXPECT_EQ(quote_argument("*.txt"), "\"*.txt\"");
  // Backslashes are doubled only before a quote, the argument's own or the closing one.
  EXPECT_EQ(quote_argument("a\"b"), "\"a\\\"b\"");
  EXPECT_EQ(quote_argument("a\\\\\"b"), "\"a\\\\\\\\\\\"b\"");
  EXPECT_EQ(quote_argument("dir \\"), "\"dir \\\\\"");
  EXPECT_EQ(quote_argument("a\\b c"), "\"a\\b c\"");
  EXPECT_EQ(command_line({"C:\\bin\\p.exe", "-d", "x y", ""}), "C:\\bin\\p.exe -d \"x y\" \"\"");
}

TEST(Win32EnvironmentBlockTest, SortedCaseInsensitiveAndReplacedByName) {
  using namespace std::string_literals;
  const std::vector<std::string> current = {"=C:=C:\\work", "Path=C:\\bin", "b_x=1", "BA=2", "a=3", "TEMP=t"};
  EXPECT_EQ(environment_block(current, {}), "=C:=C:\\work\0a=3\0BA=2\0b_x=1\0Path=C:\\bin\0TEMP=t\0\0"s);
  // A new name goes in its place; a name already there (in any case) is replaced, spelled as given.
  EXPECT_EQ(environment_block(current, {{"PATH", "D:\\x"}, {"Mid", ""}, {"temp", "u=v"}}),
            "=C:=C:\\work\0a=3\0BA=2\0b_x=1\0Mid=\0PATH=D:\\x\0temp=u=v\0\0"s);
  EXPECT_EQ(environment_block({}, {}), "\0\0"s);
}

TEST(Win32ProgramSearchTest, ExtensionPathAndWorkingFolder) {
  std::string error;
  EXPECT_EQ(find_program("C:\\bin\\prog", "", &error), "C:\\bin\\prog.exe");
  EXPECT_EQ(find_program("C:/bin/prog.com", "D:\\work", &error), "C:\\bin\\prog.com");
  EXPECT_EQ(find_program("sub.d/prog", "D:\\work", &error), "D:\\work\\sub.d\\prog.exe");
  EXPECT_EQ(platform::detail::from_working_folder("out/o.txt", ""), "out\\o.txt");

  const std::string folder = platform::make_temp_folder("program_search_");
  ASSERT_FALSE(folder.empty());
  std::ofstream(platform::join_path(folder, "found_prog.exe")) << "MZ";
  std::filesystem::create_directory(platform::join_path(folder, "folder_prog.exe"));
  const std::string path = platform::get_environment("PATH");
  platform::set_environment("PATH", "C:\\nowhere;;\"" + folder + "\"");
  EXPECT_EQ(find_program("found_prog", "", &error), platform::join_path(folder, "found_prog.exe"));
  EXPECT_EQ(find_program("folder_prog", "", &error), "");  // a folder is no program
  EXPECT_FALSE(error.empty());
  platform::set_environment("PATH", path);
  std::filesystem::remove_all(folder);
}

}  // namespace
