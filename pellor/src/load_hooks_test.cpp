// The real shared library: exports, and discovery run by its load and unload hooks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <cstring>
#include <string>

#include "messages.h"
#include "pellor_fixture.h"
#include "platform/library.h"
#include "platform/process.h"

namespace pellor::test {
namespace {

// The library carries its own copy of the platform layer, so a fake registered in this
// process does not reach it: these tests steer its provider choice through the environment.
class PellorLoadHooksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* lab = std::getenv("ZAMSIM_SOCKET");
    saved_lab_ = lab != nullptr ? std::optional<std::string>(lab) : std::nullopt;
  }
  void TearDown() override {
    if (saved_lab_) {
      platform::set_environment("ZAMSIM_SOCKET", *saved_lab_);
    } else {
      platform::unset_environment("ZAMSIM_SOCKET");
    }
  }

  // Loads the library and returns what its load hook printed.
  std::string load(platform::library_handle& library) {
    ::testing::internal::CaptureStdout();
    library = platform::load_library("Pellor.dll");
    return ::testing::internal::GetCapturedStdout();
  }

  std::optional<std::string> saved_lab_;
};

TEST_F(PellorLoadHooksTest, LoadWithoutDriversPrintsTheErrorOncePerLoad) {
  // A lab that is not running: no provider answers for any driver family.
  platform::set_environment("ZAMSIM_SOCKET", "/nonexistent/zamsim.sock");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    platform::library_handle library = nullptr;
    EXPECT_EQ(load(library), message::no_config_driver);
    ASSERT_NE(library, nullptr) << platform::library_error();

    auto get_config = reinterpret_cast<ConfigDriver_GetInterface_fn>(
        platform::find_symbol(library, "ConfigDriver_GetInterface"));
    auto open_card = reinterpret_cast<ZAM_LIB_Open_ZAM_Interface_fn>(
        platform::find_symbol(library, "ZAM_LIB_Open_ZAM_Interface"));
    auto open_kep = reinterpret_cast<KEP_LIB_Open_KEP_Interface_fn>(
        platform::find_symbol(library, "KEP_LIB_Open_KEP_Interface"));
    ASSERT_NE(get_config, nullptr);
    ASSERT_NE(open_card, nullptr);
    ASSERT_NE(open_kep, nullptr);
    EXPECT_EQ(platform::find_symbol(library, "_ZN6pellor10initialiseEv"), nullptr);  // hidden

    CONFIG_DRIVER_INTERFACE_t config;
    std::memset(&config, 0xA5, sizeof config);
    EXPECT_EQ(get_config(&config), 0u);
    EXPECT_TRUE(all_zero(config));
    ZAM_LIB_INTERFACE_t* card = nullptr;
    EXPECT_EQ(open_card(&card), 0u);
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(all_zero(*card));
    KEP_LIB_INTERFACE_t* kep = nullptr;
    EXPECT_EQ(open_kep(&kep), 0u);
    ASSERT_NE(kep, nullptr);
    EXPECT_EQ(kep->IsKepDevice, nullptr);
    platform::unload_library(library);
  }
}

TEST_F(PellorLoadHooksTest, LoadOverTheMachinesConfigurationSpace) {
  platform::unset_environment("ZAMSIM_SOCKET");
  const auto paths = platform::device_interfaces(platform::driver_class::config_space);
  if (paths.empty()) GTEST_SKIP() << "this machine offers no configuration space";
  platform::library_handle library = nullptr;
  EXPECT_EQ(load(library), std::string(message::no_zam_devices) + message::no_farrow_ports +
                               message::no_kep_devices);
  ASSERT_NE(library, nullptr);
  auto get_config = reinterpret_cast<ConfigDriver_GetInterface_fn>(
      platform::find_symbol(library, "ConfigDriver_GetInterface"));
  ASSERT_NE(get_config, nullptr);
  CONFIG_DRIVER_INTERFACE_t config{};
  ASSERT_EQ(get_config(&config), 1u);
  // The table's close runs the same release as the unload hook; unloading after it is safe.
  config.CloseDriver(0);
  EXPECT_EQ(get_config(&config), 0u);
  platform::unload_library(library);
}

}  // namespace
}  // namespace pellor::test
