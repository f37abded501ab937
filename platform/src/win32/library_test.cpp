// Libraries on Windows: LoadLibraryA by bare name next to the program, symbols, failures.
#include "platform/library.h"

#include <gtest/gtest.h>

#include "platform/process.h"

namespace {

using answer_fn = int (*)();

TEST(Win32LibraryTest, LoadsByNameNextToTheProgram) {
  EXPECT_EQ(platform::library_file_names("Pellor.dll"), std::vector<std::string>{"Pellor.dll"});
  platform::library_handle lib = platform::load_library("platform_test_plugin.dll");
  ASSERT_NE(lib, nullptr) << platform::library_error();
  auto fn = reinterpret_cast<answer_fn>(platform::find_symbol(lib, "platform_test_plugin_answer"));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn(), 42);
  EXPECT_EQ(platform::find_symbol(lib, "no_such_symbol"), nullptr);
  platform::unload_library(lib);
}

TEST(Win32LibraryTest, MissingLibraryFailsWithReason) {
  EXPECT_EQ(platform::load_library("NoSuchLibrary.dll"), nullptr);
  EXPECT_NE(platform::library_error().find("NoSuchLibrary"), std::string::npos);
  EXPECT_EQ(platform::load_library("C:\\no\\such\\folder\\z.dll"), nullptr);
  EXPECT_EQ(platform::find_symbol(nullptr, "x"), nullptr);
  EXPECT_NE(platform::find_process_symbol("zam_shared_device_registry"), nullptr)
      << "the test program shares its registry";
}

// The platform code is linked into the test program, so its module is the program itself.
TEST(Win32LibraryTest, ModuleFolderIsTheFolderOfTheHoldingModule) {
  const std::string folder = platform::module_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder, platform::program_folder());
}

}  // namespace
