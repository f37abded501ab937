// Supervised runs on every system, with the helper program platform_test_child: exit codes,
// the output file's exact bytes, appending, the working folder, the environment, closed input,
// arguments that need quoting, the time limit for the child and its own child, and programs
// that cannot be started.
#include "platform/child_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/fs.h"
#include "platform/process.h"
#ifdef _WIN32
#include "error_text.h"
#endif

namespace {

// The helper beside this test, named without ".exe" on every system.
std::string helper() { return platform::join_path(platform::program_folder(), "platform_test_child"); }

// The reason a program that is not there cannot be started, as the system words it.
std::string not_found_text() {
#ifdef _WIN32
  return platform::detail::windows_error_text(2);  // ERROR_FILE_NOT_FOUND
#else
  return std::strerror(ENOENT);
#endif
}

std::string bytes_of(const std::string& path) {
  std::string content;
  platform::read_file(path, &content);
  return content;
}

class ChildRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::make_temp_folder("child_run_");
    ASSERT_FALSE(folder_.empty());
    out_ = platform::join_path(folder_, "out.txt");
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Runs the helper with these commands, its output to out.txt, and returns that output.
  std::string run(const std::vector<std::string>& commands, platform::child_run_options options = {},
                  platform::child_run_result* result = nullptr) {
    std::vector<std::string> argv{helper()};
    argv.insert(argv.end(), commands.begin(), commands.end());
    if (options.output_path.empty()) options.output_path = out_;
    const platform::child_run_result r = platform::run_child(argv, options);
    EXPECT_TRUE(r.started) << r.error;
    if (result != nullptr) *result = r;
    return bytes_of(platform::join_path(folder_, "out.txt"));
  }

  std::string folder_, out_;
};

TEST_F(ChildRunTest, ExitCodesAndOutputBytesEmptiedOrAppended) {
  platform::child_run_result r;
  EXPECT_EQ(run({"out", "one\r\ntwo\n", "err", "e\n", "out", "3", "exit", "7"}, {}, &r), "one\r\ntwo\ne\n3");
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 7);
  EXPECT_EQ(r.signal, 0);

  platform::child_run_options append;
  append.append_output = true;
  EXPECT_EQ(run({"err", "more\n"}, append, &r), "one\r\ntwo\ne\n3more\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(run({"out", "new\n"}, {}, &r), "new\n");
  // An append to a file that is not there yet creates it.
  append.output_path = platform::join_path(folder_, "fresh.txt");
  run({"out", "x"}, append);
  EXPECT_EQ(bytes_of(append.output_path), "x");

  // Windows keeps the whole 32-bit exit code; POSIX keeps its low byte.
  run({"exit", "0x80000006"}, {}, &r);
#ifdef _WIN32
  EXPECT_EQ(r.exit_code, static_cast<int>(0x80000006u));
#else
  EXPECT_EQ(r.exit_code, 6);
#endif
}

TEST_F(ChildRunTest, WorkingFolderEnvironmentAndClosedInput) {
  platform::set_environment("CHILD_RUN_OLD", "old");
  platform::child_run_options options;
  options.working_folder = folder_;
  options.output_path = "out.txt";  // taken from the working folder
  options.input_from_null = true;
  options.extra_environment = {{"CHILD_RUN_WORD", "tabs\there"}, {"CHILD_RUN_OLD", "new"}};
  EXPECT_EQ(run({"cwd", "env", "CHILD_RUN_WORD", "env", "CHILD_RUN_OLD", "stdin", "env", "CHILD_RUN_NONE"}, options),
            folder_ + "\nCHILD_RUN_WORD=tabs\there\nCHILD_RUN_OLD=new\nstdin 0\nCHILD_RUN_NONE unset\n");
  // The caller's own environment is left as it was.
  EXPECT_EQ(platform::get_environment("CHILD_RUN_OLD"), "old");
  EXPECT_EQ(platform::get_environment("CHILD_RUN_WORD"), "");
  platform::unset_environment("CHILD_RUN_OLD");

#ifdef _WIN32
  // Windows names ignore case: the extra variable replaces the caller's entry. (The block's
  // order is checked in child_run_parts_test.cpp: wine adds variables of its own at the end.)
  platform::set_environment("Child_Run_Case", "old");
  options.extra_environment = {{"CHILD_RUN_CASE", "new"}};
  EXPECT_EQ(run({"env", "child_run_case"}, options), "CHILD_RUN_CASE=new\n");
  platform::unset_environment("Child_Run_Case");
#endif
}

TEST_F(ChildRunTest, ArgumentsReachTheChildExactly) {
  const std::vector<std::string> arguments = {
      "plain", "two words", "", "tab\there", "quote\"inside", "\"", "back\\slash", "trailing\\",
      "\\\\server\\share\\", "slashes before quote\\\\\"", "ends in slash and space \\", "*", "?.txt", "%PATH%",
      "a=b", "line\nbreak"};
  std::vector<std::string> commands{"args"};
  commands.insert(commands.end(), arguments.begin(), arguments.end());
  std::string expected;
  for (const auto& a : arguments) expected += "[" + a + "]\n";
  EXPECT_EQ(run(commands), expected);
}

TEST_F(ChildRunTest, ProgramsFoundOnPathOrFromTheWorkingFolder) {
  platform::child_run_result r;
  const std::string path = platform::get_environment("PATH");
  platform::set_environment("PATH", platform::program_folder() + platform::path_list_separator + path);
  platform::child_run_options options;
  options.output_path = out_;
  r = platform::run_child({"platform_test_child", "exit", "3"}, options);
  platform::set_environment("PATH", path);
  EXPECT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exit_code, 3);

  // A relative name with a folder, from the working folder (the bin folder's parent).
  const std::filesystem::path bin(platform::program_folder());
  options.working_folder = bin.parent_path().string();
  r = platform::run_child({bin.filename().string() + "/platform_test_child", "exit", "4"}, options);
  EXPECT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exit_code, 4);
}

TEST_F(ChildRunTest, WhatCannotBeStartedSaysWhy) {
  platform::child_run_options options;
  options.output_path = out_;
  auto r = platform::run_child({"no-such-program-of-ours"}, options);
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, "no-such-program-of-ours: " + not_found_text());

  const std::string missing = platform::join_path(folder_, "no-such-program");
  r = platform::run_child({missing}, options);
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, missing + ": " + not_found_text());

  options.working_folder = platform::join_path(folder_, "missing");
  r = platform::run_child({helper()}, options);
  EXPECT_FALSE(r.started);
  EXPECT_FALSE(r.error.empty());

  options.working_folder.clear();
  options.output_path = platform::join_path(folder_, "missing/out.txt");
  r = platform::run_child({helper()}, options);
  EXPECT_FALSE(r.started);
  EXPECT_FALSE(r.error.empty());

  EXPECT_EQ(platform::run_child({}, {}).error, "no program given");
}

TEST_F(ChildRunTest, TimeLimitEndsTheChildAndItsOwnChild) {
  platform::child_run_options options;
  options.timeout_ms = 300;
  platform::child_run_result r;
  run({"sleep", "60000"}, options, &r);
  EXPECT_TRUE(r.timed_out);
  EXPECT_GE(r.elapsed_ms, 300u);
  EXPECT_LT(r.elapsed_ms, 30000u);
#ifdef _WIN32
  EXPECT_EQ(r.exit_code, 1460);  // ERROR_TIMEOUT, given to the terminated job
  EXPECT_EQ(r.signal, 0);
#else
  EXPECT_EQ(r.exit_code, -1);
  EXPECT_EQ(r.signal, 15);
#endif

  // The child starts a second copy that adds a byte to a file every 20 ms. Once the limit has
  // ended both, the file stops growing.
  const std::string beats = platform::join_path(folder_, "beats");
  options.timeout_ms = 4000;
  run({"spawn", "beat", beats}, options, &r);
  EXPECT_TRUE(r.timed_out);
  const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); };
  settle();
  const std::size_t after_end = bytes_of(beats).size();
  EXPECT_GT(after_end, 0u) << "the child's own child never ran";
  settle();
  EXPECT_EQ(bytes_of(beats).size(), after_end) << "the child's own child outlived the time limit";
}

}  // namespace
