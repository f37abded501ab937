// Local sockets on POSIX: the modes of the private folder and the socket; running programs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/ipc.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

TEST(IpcModesTest, FolderAndSocketAreClosedToOthers) {
  const std::string folder = platform::make_temp_folder("ipc_modes_");
  ASSERT_FALSE(folder.empty());
  struct stat info {};
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_TRUE(platform::make_private_folder(folder));
  ::chmod(folder.c_str(), 0755);
  EXPECT_FALSE(platform::make_private_folder(folder));
  ::chmod(folder.c_str(), 0700);

  const std::string socket = folder + "/lab.sock";
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(socket));
  ASSERT_EQ(::stat(socket.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  listener.close();
  fs::remove_all(folder);
}

TEST(ProcessTest, RunProgramPassesEnvironmentAndExitCode) {
  std::string error;
  EXPECT_EQ(platform::run_program({"sh", "-c", "test \"$ZAM_X\" = hello && exit 7"}, {{"ZAM_X", "hello"}}, &error), 7);
  EXPECT_EQ(platform::run_program({"sh", "-c", "kill -9 $$"}, {}, &error), 128 + 9);
  EXPECT_EQ(platform::run_program({"/no/such/program"}, {}, &error), -1);
  EXPECT_NE(error.find("/no/such/program"), std::string::npos);
}

}  // namespace
