// Files and folders on Windows: creating, listing with wildcards, reading, deleting.
#include "platform/fs.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/process.h"

namespace {

TEST(Win32FsTest, FoldersFilesAndListing) {
  const std::string dir = platform::make_temp_folder("fs_test_");
  ASSERT_FALSE(dir.empty());
  const std::string nested = platform::join_path(dir, "a\\b");
  EXPECT_TRUE(platform::create_folders(nested));
  EXPECT_TRUE(platform::file_exists(nested));
  EXPECT_FALSE(platform::can_open_for_reading(nested)) << "a folder is not a readable file";

  const std::string file = platform::join_path(dir, "OEM1.PNF");
  std::ofstream(file, std::ios::binary) << "twelve bytes";
  std::ofstream(platform::join_path(dir, "notes.txt")) << "x";
  EXPECT_TRUE(platform::can_open_for_reading(file));
  uint64_t size = 0;
  int64_t modified = 0;
  ASSERT_TRUE(platform::file_size_and_time(file, size, modified));
  EXPECT_EQ(size, 12u);
  EXPECT_GT(modified, 1600000000);
  EXPECT_FALSE(platform::file_size_and_time(nested, size, modified));

  std::string content;
  ASSERT_TRUE(platform::read_file(file, &content));
  EXPECT_EQ(content, "twelve bytes");
  std::string reason;
  EXPECT_FALSE(platform::read_file(platform::join_path(dir, "none"), &content, &reason));
  EXPECT_FALSE(reason.empty());

  EXPECT_EQ(platform::list_folder(dir, "oem*.pnf"), std::vector<std::string>{"OEM1.PNF"});
  std::vector<std::string> names;
  EXPECT_FALSE(platform::try_list_folder(platform::join_path(dir, "missing"), "*", &names, &reason));
  EXPECT_FALSE(reason.empty());

  EXPECT_TRUE(platform::delete_file(file));
  EXPECT_FALSE(platform::file_exists(file));
  EXPECT_FALSE(platform::delete_file(file, &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_FALSE(platform::current_directory().empty());
}

}  // namespace
