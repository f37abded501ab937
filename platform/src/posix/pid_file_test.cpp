// Pid files: a live owner is found through its lock, a file left by an ended one is stale.
#include "platform/pid_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(PidFileTest, TheLiveOwnerIsFoundAndAStaleFileIsRemoved) {
  const std::string path = ::testing::TempDir() + "pid_file_test_" + std::to_string(::getpid()) + ".pid";
  std::filesystem::remove(path);
  EXPECT_EQ(platform::live_pid_file_owner(path), 0) << "no file";

  int go[2], ready[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::pid_file file(path);
    const char state = file.valid() ? 'y' : 'n';
    (void)!::write(ready[1], &state, 1);
    char byte;
    (void)!::read(go[0], &byte, 1);
    ::_exit(0);  // ends without removing the file, as a killed daemon would
  }
  char state = 0;
  ASSERT_EQ(::read(ready[0], &state, 1), 1);
  EXPECT_EQ(state, 'y');
  EXPECT_EQ(platform::live_pid_file_owner(path), child);
  std::ifstream in(path);
  int written = 0;
  in >> written;
  EXPECT_EQ(written, child);
  {
    std::string reason;
    platform::pid_file taken(path, &reason);
    EXPECT_FALSE(taken.valid()) << "a live owner keeps its file";
    EXPECT_EQ(reason, "held by a live process");
  }
  EXPECT_EQ(platform::live_pid_file_owner(path), child) << "a refused taker removes nothing";

  (void)!::write(go[1], "x", 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(platform::live_pid_file_owner(path), 0) << "the owner has ended";
  EXPECT_FALSE(std::filesystem::exists(path)) << "the stale file is removed";

  {
    platform::pid_file own(path);
    EXPECT_TRUE(own.valid());
    EXPECT_TRUE(std::filesystem::exists(path));
  }
  EXPECT_FALSE(std::filesystem::exists(path)) << "the owner removes its file when it ends properly";
  for (int fd : {go[0], go[1], ready[0], ready[1]}) ::close(fd);
}

}  // namespace
