// Device interfaces: provider registry, handles and buffered requests through a fake.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/devio.h"

namespace {

using platform::driver_class::config_space;
using platform::driver_class::zam_card;

TEST(DevioGuidTest, ParsesAndPrints) {
  auto g = platform::guid::parse("{83972628-020a-4B3D-A654-66B608394A70}");
  ASSERT_TRUE(g);
  EXPECT_EQ(g->data1, 0x83972628u);
  EXPECT_EQ(g->data2, 0x020Au);
  EXPECT_EQ(g->data4[7], 0x70);
  EXPECT_EQ(g->to_string(), "{83972628-020A-4B3D-A654-66B608394A70}");
  EXPECT_EQ(*g, config_space);
  EXPECT_EQ(platform::driver_class::farrow_port.to_string(), "{E1D91E61-750C-45FF-B0A7-28B2AC459817}");
  for (const char* bad : {"", "{83972628-020A-4B3D-A654-66B608394A7}", "83972628x020A-4B3D-A654-66B608394A70",
                          "{83972628-020A-4B3D-A654-66B608394AZ0}"}) {
    EXPECT_FALSE(platform::guid::parse(bad)) << bad;
  }
}

class DevioRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::clear_registered_providers(); }
};

TEST_F(DevioRegistryTest, RegisteredProvidersComeFirstInIndexOrder) {
  auto fake = std::make_shared<platform::inprocess_provider>("fake");
  int calls = 0;
  // A card driver that echoes the command word plus one into the result word.
  auto handler = [&calls](uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out,
                          uint32_t out_capacity, uint32_t& returned) -> uint32_t {
    ++calls;
    if (code != 0x222404 || in_length != 56 || out_capacity != 56) return platform::error::invalid_parameter;
    std::memcpy(out, in, 56);
    uint32_t word;
    std::memcpy(&word, in, 4);
    ++word;
    std::memcpy(out + 4, &word, 4);
    returned = 56;
    return platform::error::success;
  };
  fake->add_interface(zam_card, "card-0", handler);
  fake->add_interface(zam_card, "card-1", handler);
  fake->add_interface(config_space, "cfg-0", handler);
  fake->fail_open("card-1", platform::error::access_denied);
  platform::register_provider(fake);

  EXPECT_EQ(platform::active_provider_for(zam_card), fake);
  EXPECT_EQ(platform::device_interfaces(zam_card), (std::vector<std::string>{"card-0", "card-1"}));
  EXPECT_EQ(platform::device_interfaces(config_space), (std::vector<std::string>{"cfg-0"}));

  EXPECT_EQ(platform::open_device("card-1"), platform::invalid_handle);
  EXPECT_EQ(platform::last_error(), platform::error::access_denied);
  EXPECT_EQ(platform::open_device("nobody"), platform::invalid_handle);
  EXPECT_EQ(platform::last_error(), platform::error::file_not_found);

  const auto handle = platform::open_device("card-0");
  ASSERT_NE(handle, platform::invalid_handle);
  // One buffer serves as input and output, as with buffered driver requests.
  uint8_t packet[56] = {};
  packet[0] = 13;
  uint32_t returned = 0;
  ASSERT_TRUE(platform::device_control(handle, 0x222404, packet, 56, packet, 56, &returned));
  EXPECT_EQ(returned, 56u);
  EXPECT_EQ(packet[0], 13);
  EXPECT_EQ(packet[4], 14);
  EXPECT_FALSE(platform::device_control(handle, 0x222404, packet, 12, packet, 56, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::invalid_parameter);
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(calls, 2);

  platform::close_device(handle);
  EXPECT_FALSE(platform::device_control(handle, 0x222404, packet, 56, packet, 56, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::invalid_handle);
  EXPECT_EQ(calls, 2);
}

TEST_F(DevioRegistryTest, UnservedClassHasNoInterfaces) {
  EXPECT_TRUE(platform::device_interfaces(zam_card).empty());
  EXPECT_EQ(platform::active_provider_for(zam_card), nullptr);
  auto fake = std::make_shared<platform::inprocess_provider>("fake");
  fake->add_interface(zam_card, "card-0", nullptr);
  platform::register_provider(fake);
  EXPECT_EQ(platform::device_interfaces(zam_card).size(), 1u);
  platform::unregister_provider(fake);
  EXPECT_TRUE(platform::device_interfaces(zam_card).empty());
}

}  // namespace

// This program shares its registry with the libraries it loads.
ZAM_SHARE_DEVICE_PROVIDERS()

#include "platform/library.h"

namespace {

TEST(DevioSharedRegistryTest, LoadedLibrarySeesTheProgramsFakes) {
  platform::library_handle lib = platform::load_library("platform_test_plugin.dll");
  ASSERT_NE(lib, nullptr) << platform::library_error();
  auto count = reinterpret_cast<int (*)()>(platform::find_symbol(lib, "platform_test_plugin_card_interfaces"));
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count(), 0);
  auto fake = std::make_shared<platform::inprocess_provider>("fake");
  fake->add_interface(platform::driver_class::zam_card, "card-0", nullptr);
  fake->add_interface(platform::driver_class::zam_card, "card-1", nullptr);
  platform::register_provider(fake);
  EXPECT_EQ(count(), 2);
  platform::clear_registered_providers();
  EXPECT_EQ(count(), 0);
  platform::unload_library(lib);
}

}  // namespace

namespace {

// A device opened by name whose requests receive their time-out and end three ways.
TEST_F(DevioRegistryTest, NamedDeviceRequestsCarryTheirTimeOutAndEndDistinctly) {
  auto fake = std::make_shared<platform::inprocess_provider>("usb");
  std::vector<uint32_t> seen_timeouts;
  fake->add_named_device("ezusb-0", [&](uint32_t code, const uint8_t*, uint32_t, uint8_t* out, uint32_t capacity,
                                        uint32_t& returned, uint32_t timeout_ms) -> uint32_t {
    seen_timeouts.push_back(timeout_ms);
    if (code == 1) return platform::error::timeout;
    if (code == 2) return platform::error::operation_aborted;
    if (capacity < 1) return platform::error::insufficient_buffer;
    out[0] = 0x5A;
    returned = 1;
    return platform::error::success;
  });
  platform::register_provider(fake);
  // Opened by name only: no driver class lists it.
  EXPECT_EQ(platform::active_provider_for(zam_card), nullptr);
  const auto handle = platform::open_device("ezusb-0");
  ASSERT_NE(handle, platform::invalid_handle);
  uint8_t byte = 0;
  uint32_t returned = 7;
  EXPECT_TRUE(platform::device_control(handle, 0, nullptr, 0, &byte, 1, &returned, 250));
  EXPECT_EQ(byte, 0x5A);
  EXPECT_EQ(returned, 1u);
  EXPECT_FALSE(platform::device_control(handle, 1, nullptr, 0, &byte, 1, &returned, 30000));
  EXPECT_EQ(platform::last_error(), platform::error::timeout);
  EXPECT_EQ(returned, 0u);
  EXPECT_FALSE(platform::device_control(handle, 2, nullptr, 0, &byte, 1, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::operation_aborted);
  EXPECT_EQ(seen_timeouts, (std::vector<uint32_t>{250, 30000, platform::infinite_timeout}));
  platform::close_device(handle);
}

}  // namespace

namespace {

// Device names of the EZ-USB driver: the prefix in any case, then decimal digits only.
TEST(EzusbDeviceNameTest, PrefixInAnyCaseThenDigits) {
  struct case_t {
    const char* given;
    const char* name;  // nullptr: not such a name
  };
  const case_t cases[] = {{"ezusb-0", "ezusb-0"},     {"EZUSB-0", "ezusb-0"},   {"Ezusb-12", "ezusb-12"},
                          {"eZuSb-007", "ezusb-007"}, {"ezusb-", nullptr},      {"EZUSB", nullptr},
                          {"EZUSB-0x", nullptr},      {"EZUSB_0", nullptr},     {"xezusb-0", nullptr},
                          {"ezusb- 1", nullptr},      {"lab:ezusb-0", nullptr}, {"", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    const auto name = platform::ezusb_device_name(c.given);
    if (c.name == nullptr) {
      EXPECT_FALSE(name.has_value()) << *name;
    } else {
      EXPECT_EQ(name.value_or("(none)"), c.name);
    }
  }
}

}  // namespace
