// The library as the tool loads it: the nine exports by name, and the packet log file
// written from load to unload (the last pending request flushed, then the summary).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "card_standin.h"
#include "platform/devio.h"
#include "platform/library.h"
#include "platform/process.h"
#include "zamlib/zamlib.h"

ZAM_SHARE_DEVICE_PROVIDERS()

namespace {

using zamlib_testing::config_read;
using zamlib_testing::config_write;

// A fresh folder that is the current folder for the test's lifetime.
class current_folder {
 public:
  current_folder() {
    path_ = std::filesystem::temp_directory_path() /
            ("zamlib_exports_" + std::to_string(platform::current_process_id()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~current_folder() {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(path_);
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path_ / name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

template <typename F>
F bind(platform::library_handle library, const char* name) {
  return reinterpret_cast<F>(platform::find_symbol(library, name));
}

TEST(ZamlibExportsTest, NineExportsAndThePacketLogFromLoadToUnload) {
  current_folder folder;
  zamlib_testing::card_standin card;
  card.queue_request(config_read(0, 3, 0, 0x10, 1));
  card.queue_request(config_write(0, 3, 0, 0x3C, 2, 0x0000010B, 0x1));
  card.queue_request(config_read(0, 4, 0, 0x00, 3));

  platform::library_handle library = platform::load_library(ZAMLIB_LIBRARY_FILE);
  ASSERT_NE(library, nullptr) << platform::library_error();
  for (const char* name : {"ORVENGenerateTLP", "ORVENEnableOptionRom", "ORVNEDisableOptionRom",
                           "ORVENProgramOptionRomContents", "ORVENSetOptionRomLocation"}) {
    auto unsupported = bind<uint32_t (*)()>(library, name);
    ASSERT_NE(unsupported, nullptr) << name;
    EXPECT_EQ(unsupported(), ZAMLIB_STATUS_NOT_SUPPORTED) << name;
  }
  auto init = bind<uint32_t (*)(uint32_t)>(library, "ORVENInitHardwareDriver");
  auto close = bind<uint32_t (*)()>(library, "ORVENCloseHardwareDriver");
  auto read = bind<uint32_t (*)(uint32_t, uint32_t, uint32_t*, uint32_t*)>(library, "ORVENReadConfigRequest");
  auto write = bind<uint32_t (*)(const uint32_t*, uint32_t, uint32_t)>(library, "ORVENWriteConfigCompletion");
  ASSERT_TRUE(init && close && read && write);

  ASSERT_EQ(init(1000), ZAMLIB_STATUS_SUCCESS);
  uint32_t buffer[16] = {};
  uint32_t bytes = 0;
  ASSERT_EQ(read(sizeof buffer, 1000, &bytes, buffer), ZAMLIB_STATUS_SUCCESS);
  const uint32_t data[4] = {0x4A000001u, 0x00180004u, 0x00000100u, 0x86801234u};
  ASSERT_EQ(write(data, 16, 1000), ZAMLIB_STATUS_SUCCESS);
  ASSERT_EQ(read(sizeof buffer, 1000, &bytes, buffer), ZAMLIB_STATUS_SUCCESS);
  const uint32_t done[3] = {0x0A000000u, 0x00180004u, 0x00000200u};
  ASSERT_EQ(write(done, 12, 1000), ZAMLIB_STATUS_SUCCESS);
  ASSERT_EQ(read(sizeof buffer, 1000, &bytes, buffer), ZAMLIB_STATUS_SUCCESS);  // never answered
  EXPECT_EQ(folder.read("pktlog.txt"),
            "CfgRead  ID=018 reg=010 data=86801234 \n"
            "CfgWrite ID=018 reg=03c data=xxxxxx0b \n");
  EXPECT_EQ(close(), ZAMLIB_STATUS_SUCCESS);
  EXPECT_EQ(card.open_channels(), 0);
  platform::unload_library(library);

  std::string expected =
      "CfgRead  ID=018 reg=010 data=86801234 \n"
      "CfgWrite ID=018 reg=03c data=xxxxxx0b \n"
      "<< CfgRd0 L=1 Tag=03 reqID=000 cplID=020 reg=000\n"
      "Summary of config space contents:\n"
      "ID=018\n";
  for (uint32_t offset = 0; offset < 0x40; offset += 4) {
    char line[32];
    std::snprintf(line, sizeof line, "      %02x: %s\n", offset,
                  offset == 0x10 ? "86801234" : offset == 0x3C ? "xxxxxx0b" : "xxxxxxxx");
    expected += line;
  }
  EXPECT_EQ(folder.read("pktlog.txt"), expected);
}

}  // namespace
