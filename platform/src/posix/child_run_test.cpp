// Supervised runs: exit codes, signals, the time limit, the working folder and the output file.
#include "platform/child_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/process.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ChildRunTest, ExitCodeSignalFolderOutputAndEnvironment) {
  const std::string folder = platform::make_temp_folder("child_run_");
  ASSERT_FALSE(folder.empty());
  platform::child_run_options options;
  options.working_folder = folder;
  options.output_path = folder + "/out.txt";
  options.extra_environment = {{"CHILD_RUN_WORD", "tabs\there"}};
  options.input_from_null = true;
  auto r = platform::run_child({"sh", "-c", "pwd; echo \"$CHILD_RUN_WORD\"; cat; echo err >&2; exit 7"}, options);
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 7);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(slurp(options.output_path), folder + "\ntabs\there\nerr\n");

  options.append_output = true;
  platform::run_child({"sh", "-c", "echo more"}, options);
  EXPECT_EQ(slurp(options.output_path), folder + "\ntabs\there\nerr\nmore\n");

  r = platform::run_child({"sh", "-c", "kill -SEGV $$"}, options);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.signal, 11);
  EXPECT_EQ(r.exit_code, -1);
  platform::run_program({"rm", "-rf", folder}, {});
}

TEST(ChildRunTest, TimeLimitStopsTheWholeGroup) {
  platform::child_run_options options;
  options.timeout_ms = 200;
  // The shell ignores SIGTERM and keeps starting sleeps, so the limit has to fall back to SIGKILL.
  const auto r = platform::run_child({"sh", "-c", "trap '' TERM; while :; do sleep 0.05; done"}, options);
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.timed_out);
  EXPECT_EQ(r.signal, 9);
  EXPECT_LT(r.elapsed_ms, 10000u);
}

TEST(ChildRunTest, MissingProgramOrFolderIsNotStarted) {
  auto r = platform::run_child({"/nowhere/no-such-program"}, {});
  EXPECT_FALSE(r.started);
  EXPECT_NE(r.error.find("no-such-program"), std::string::npos);
  platform::child_run_options options;
  options.working_folder = "/nowhere/folder";
  r = platform::run_child({"true"}, options);
  EXPECT_FALSE(r.started);
  EXPECT_FALSE(r.error.empty());
  EXPECT_TRUE(platform::run_child({}, {}).error == "no program given");
}

}  // namespace
