// Library loading by name, with the Windows ".dll" name mapped to the native one.
#include "platform/library.h"

#include <gtest/gtest.h>

namespace {

using answer_fn = int (*)();

TEST(LibraryTest, LoadsByWindowsNameNextToProgram) {
  EXPECT_EQ(platform::library_file_names("Pellor.dll"),
            (std::vector<std::string>{"Pellor.dll", "libPellor.so", "Pellor.so"}));
  EXPECT_EQ(platform::library_file_names("libx.so"), (std::vector<std::string>{"libx.so"}));

  for (const char* name : {"platform_test_plugin.dll", "libplatform_test_plugin.so"}) {
    platform::library_handle lib = platform::load_library(name);
    ASSERT_NE(lib, nullptr) << name << ": " << platform::library_error();
    auto fn = reinterpret_cast<answer_fn>(platform::find_symbol(lib, "platform_test_plugin_answer"));
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn(), 42);
    EXPECT_EQ(platform::find_symbol(lib, "no_such_symbol"), nullptr);
    platform::unload_library(lib);
  }
}

TEST(LibraryTest, MissingLibraryFailsWithReason) {
  EXPECT_EQ(platform::load_library("NoSuchLibrary.dll"), nullptr);
  EXPECT_NE(platform::library_error().find("NoSuchLibrary"), std::string::npos);
  EXPECT_EQ(platform::load_library("/no/such/folder/libz.so"), nullptr);
  platform::unload_library(nullptr);
  EXPECT_EQ(platform::find_symbol(nullptr, "x"), nullptr);
}

}  // namespace
