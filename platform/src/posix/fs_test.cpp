// Files and paths: pattern matching, listing, deletion and its test seam.
#include "platform/fs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(FsTest, WildcardMatchIgnoresCase) {
  EXPECT_TRUE(platform::wildcard_match("OEM*.inf", "oem12.INF"));
  EXPECT_TRUE(platform::wildcard_match("OEM*.inf", "OEM.inf"));
  EXPECT_FALSE(platform::wildcard_match("OEM*.inf", "oem12.inf.bak"));
  EXPECT_FALSE(platform::wildcard_match("OEM*.inf", "xoem1.inf"));
  EXPECT_TRUE(platform::wildcard_match("a?c", "ABC"));
  EXPECT_FALSE(platform::wildcard_match("a?c", "ac"));
  EXPECT_TRUE(platform::wildcard_match("*", ""));
  EXPECT_TRUE(platform::wildcard_match("*a*a*a*b", "aaaaaaaaaaaaaaaaaaab"));
  EXPECT_FALSE(platform::wildcard_match("*a*a*a*b", std::string(5000, 'a')));
}

TEST(FsTest, PathsJoinWithOneNativeSeparator) {
  EXPECT_EQ(platform::join_path("dir", "f"), "dir/f");
  EXPECT_EQ(platform::join_path("dir/", "f"), "dir/f");
  EXPECT_EQ(platform::join_path("", "f"), "f");
  EXPECT_EQ(platform::native_path("C:\\Windows\\inf\\"), "C:/Windows/inf/");
  EXPECT_FALSE(platform::current_directory().empty());
  EXPECT_NE(platform::current_directory().back(), '/');
}

TEST(FsTest, ListsOnlyMatchingRegularFiles) {
  const fs::path dir = fs::temp_directory_path() / ("fs_test_" + std::to_string(::getpid()));
  fs::create_directories(dir / "OEM9.inf");  // a folder with a matching name
  for (const char* name : {"oem1.inf", "OEM2.INF", "other.inf", "oem3.pnf"}) {
    std::ofstream(dir / name) << "x";
  }
  auto names = platform::list_folder(dir.string(), "OEM*.inf");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"OEM2.INF", "oem1.inf"}));
  EXPECT_TRUE(platform::list_folder((dir / "missing").string(), "*").empty());

  EXPECT_TRUE(platform::can_open_for_reading((dir / "oem1.inf").string()));
  EXPECT_FALSE(platform::can_open_for_reading((dir / "OEM9.inf").string()));
  EXPECT_TRUE(platform::delete_file((dir / "oem1.inf").string()));
  EXPECT_FALSE(platform::can_open_for_reading((dir / "oem1.inf").string()));
  std::string reason;
  EXPECT_FALSE(platform::delete_file((dir / "oem1.inf").string(), &reason));
  EXPECT_EQ(reason, "No such file or directory");

  platform::set_delete_hook([](const std::string&, std::string& why) {
    why = "Device or resource busy";
    return false;
  });
  EXPECT_FALSE(platform::delete_file((dir / "OEM2.INF").string(), &reason));
  EXPECT_EQ(reason, "Device or resource busy");
  platform::set_delete_hook(nullptr);
  EXPECT_TRUE(fs::exists(dir / "OEM2.INF"));
  EXPECT_TRUE(platform::delete_file((dir / "OEM2.INF").string()));
  fs::remove_all(dir);
}

}  // namespace

namespace {

TEST(FsTest, CreatesMissingFoldersAndRefusesAFileInTheWay) {
  const fs::path base = fs::temp_directory_path() / ("fs_create_" + std::to_string(::getpid()));
  fs::remove_all(base);
  EXPECT_TRUE(platform::create_folders((base / "logs" / "deeper").string()));
  EXPECT_TRUE(fs::is_directory(base / "logs" / "deeper"));
  EXPECT_TRUE(platform::create_folders((base / "logs").string() + "/"));  // exists already
  std::ofstream(base / "file") << "x";
  EXPECT_FALSE(platform::create_folders((base / "file").string()));
  EXPECT_FALSE(platform::create_folders((base / "file" / "below").string()));
  EXPECT_FALSE(platform::create_folders(""));
  fs::remove_all(base);
}

}  // namespace
