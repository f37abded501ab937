// The installed tree's layout: the prefix found from a program's or library's folder, and
// the settings folder of a prefix.
#include "platform/install_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(InstallLayoutTest, PrefixOfProgramAndLibraryFolders) {
  const std::string libraries = platform::private_library_folder();
  ASSERT_EQ(libraries.substr(0, 4), "lib/");
  ASSERT_EQ(libraries.substr(libraries.size() - 10), "/zam-suite");
  const struct {
    std::string folder, prefix;
  } cases[] = {
      {"/usr/bin", "/usr"},
      {"/usr/bin/", "/usr"},
      {"/opt/zam/" + libraries, "/opt/zam"},
      {"/opt/zam/" + libraries + "//", "/opt/zam"},
      {"/" + libraries, "/"},
      {"/opt/zam/lib", "/opt/zam"},                 // any other folder: its parent
      {"/opt/zam/other/zam-suite", "/opt/zam/other"},  // only the whole private folder counts
      {"/tmp/root/usr/bin", "/tmp/root/usr"},
      // a run path through the pkg-config folder, as vexo.pc writes it
      {"/tmp/root/usr/lib/pkgconfig/../../" + libraries, "/tmp/root/usr"},
      {"/opt/zam/./bin", "/opt/zam"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::install_prefix_of(c.folder), c.prefix) << c.folder;
  }
}

TEST(InstallLayoutTest, SettingsFolderOfPrefix) {
  const struct {
    const char* prefix;
    const char* folder;
  } cases[] = {
      {"/usr", "/etc/zam"},
      {"/usr/", "/etc/zam"},
      {"/tmp/root/usr", "/tmp/root/etc/zam"},  // an unpacked package
      {"/usr/local", "/usr/local/etc/zam"},
      {"/opt/zam", "/opt/zam/etc/zam"},
      {"/opt/zam/", "/opt/zam/etc/zam"},
      {"/opt/usrx", "/opt/usrx/etc/zam"},
      {"/home/usr/zam", "/home/usr/zam/etc/zam"},
      {"/", "/etc/zam"},
      {"/tmp/root/usr/lib/../../usr", "/tmp/root/etc/zam"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::settings_folder_of_prefix(c.prefix), c.folder) << c.prefix;
  }
}

}  // namespace
