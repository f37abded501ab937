// Files: size and modification time of a regular file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/fs.h"

namespace {

namespace fs = std::filesystem;

TEST(FsTest, FileSizeAndTimeOfRegularFilesOnly) {
  const fs::path dir = fs::temp_directory_path() / ("fs_info_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "image.bin").string();
  { std::ofstream(file, std::ios::binary) << std::string(300, 'x'); }
  const auto moment = std::chrono::sys_seconds(std::chrono::seconds(1765000000));
  fs::last_write_time(file, fs::file_time_type::clock::from_sys(moment));
  uint64_t size = 0;
  int64_t modified = 0;
  ASSERT_TRUE(platform::file_size_and_time(file, size, modified));
  EXPECT_EQ(size, 300u);
  EXPECT_EQ(modified, 1765000000);
  EXPECT_FALSE(platform::file_size_and_time(dir.string(), size, modified));
  EXPECT_FALSE(platform::file_size_and_time((dir / "missing").string(), size, modified));
  fs::remove_all(dir);
}

}  // namespace
