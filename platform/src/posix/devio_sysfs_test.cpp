// The sysfs provider on this machine: reads match sysfs, bounds hold, writes are refused.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/devio.h"

namespace {

namespace fs = std::filesystem;

struct config_packet {
  uint32_t bus, device, function, offset, length;
  uint8_t data[4096];
};
static_assert(sizeof(config_packet) == 4116);

uint32_t read_hex_file(const fs::path& path) {
  std::ifstream in(path);
  std::string text;
  in >> text;
  return static_cast<uint32_t>(std::stoul(text, nullptr, 16));
}

class SysfsProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("ZAMSIM_SOCKET");
    ::unsetenv("ZAM_SYSFS_WRITE");
    auto paths = platform::device_interfaces(platform::driver_class::config_space);
    if (!fs::exists("/sys/bus/pci/devices")) GTEST_SKIP() << "no /sys/bus/pci/devices here";
    ASSERT_EQ(paths.size(), 1u);
    handle_ = platform::open_device(paths[0]);
    ASSERT_NE(handle_, platform::invalid_handle);
  }
  void TearDown() override {
    if (handle_ != platform::invalid_handle) platform::close_device(handle_);
  }

  bool transfer(uint32_t code, config_packet& p) {
    uint32_t returned = 0;
    return platform::device_control(handle_, code, &p, sizeof p, &p, sizeof p, &returned);
  }

  platform::device_handle handle_ = platform::invalid_handle;
};

TEST_F(SysfsProviderTest, ReadsEveryFunctionsIdentity) {
  int functions = 0;
  for (const auto& entry : fs::directory_iterator("/sys/bus/pci/devices")) {
    unsigned domain, bus, device, function;
    const std::string name = entry.path().filename().string();
    ASSERT_EQ(std::sscanf(name.c_str(), "%x:%x:%x.%x", &domain, &bus, &device, &function), 4) << name;
    if (domain != 0) continue;
    config_packet p{bus, device, function, 0, 64, {}};
    ASSERT_TRUE(transfer(0x222000, p)) << name;
    EXPECT_EQ(p.length, 64u) << name;
    uint16_t vendor, device_id;
    std::memcpy(&vendor, p.data, 2);
    std::memcpy(&device_id, p.data + 2, 2);
    EXPECT_EQ(vendor, read_hex_file(entry.path() / "vendor")) << name;
    EXPECT_EQ(device_id, read_hex_file(entry.path() / "device")) << name;
    ++functions;
  }
  RecordProperty("functions", functions);
}

TEST_F(SysfsProviderTest, BoundsAbsentFunctionsAndWrites) {
  config_packet p{0, 0, 0, 4093, 4, {}};
  EXPECT_FALSE(transfer(0x222000, p));  // past the 4096-byte space
  EXPECT_EQ(platform::last_error(), platform::error::invalid_parameter);
  config_packet bad_device{0, 32, 0, 0, 4, {}};
  EXPECT_FALSE(transfer(0x222000, bad_device));

  // Bus 255 holds nothing on an ordinary machine: the bus answers with all ones.
  config_packet absent{255, 31, 7, 0, 4, {}};
  ASSERT_TRUE(transfer(0x222000, absent));
  EXPECT_EQ(absent.length, 4u);
  EXPECT_EQ(absent.data[0], 0xFF);

  for (const auto& entry : fs::directory_iterator("/sys/bus/pci/devices")) {
    unsigned domain, bus, device, function;
    std::sscanf(entry.path().filename().c_str(), "%x:%x:%x.%x", &domain, &bus, &device, &function);
    if (domain != 0) continue;
    config_packet before{bus, device, function, 0, 64, {}};
    ASSERT_TRUE(transfer(0x222000, before));
    config_packet write{bus, device, function, 0x3C, 1, {}};
    write.data[0] = static_cast<uint8_t>(before.data[0x3C] ^ 0xFF);
    EXPECT_FALSE(transfer(0x222004, write));
    EXPECT_EQ(platform::last_error(), platform::error::access_denied);
    config_packet after{bus, device, function, 0, 64, {}};
    ASSERT_TRUE(transfer(0x222000, after));
    EXPECT_EQ(std::memcmp(before.data, after.data, 64), 0);
    break;
  }

  // The window is accepted and reported back.
  uint64_t window[2] = {0xE0000000ull, 0x10000000ull};
  uint32_t returned = 0;
  EXPECT_TRUE(platform::device_control(handle_, 0x22200C, window, 16, nullptr, 0, &returned));
  uint64_t got[2] = {};
  EXPECT_TRUE(platform::device_control(handle_, 0x222010, nullptr, 0, got, 16, &returned));
  EXPECT_EQ(returned, 16u);
  EXPECT_EQ(got[1], 0x10000000ull);
  EXPECT_FALSE(platform::device_control(handle_, 0x222999, nullptr, 0, got, 16, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::invalid_function);
}

TEST(SysfsFakeTreeTest, ShortFileGivesShortRead) {
  const fs::path root = fs::temp_directory_path() / ("sysfs_" + std::to_string(::getpid()));
  fs::create_directories(root / "0000:03:00.1");
  std::string bytes(64, '\0');
  bytes[0] = 0x86;
  bytes[1] = 0x80;
  std::ofstream(root / "0000:03:00.1/config", std::ios::binary) << bytes;
  auto provider = platform::make_sysfs_provider(root.string());
  uint32_t err = 0;
  auto channel = provider->open(provider->interfaces(platform::driver_class::config_space).at(0), err);
  ASSERT_TRUE(channel);
  config_packet p{3, 0, 1, 0, 256, {}};
  uint32_t returned = 0;
  ASSERT_EQ(channel->control(0x222000, &p, sizeof p, &p, sizeof p, returned, 0), 0u);
  EXPECT_EQ(p.length, 64u);  // fewer bytes than asked: the caller sees a failure
  EXPECT_EQ(p.data[0], 0x86);
  fs::remove_all(root);
  EXPECT_TRUE(provider->interfaces(platform::driver_class::config_space).empty());
}

// A scan's reads of absent functions are answered from a listing of the folder while it is
// young: a function that appears after the listing reads as absent until the listing is read
// again (a new channel, or a zero life, sees it at once); one that goes away reads as absent.
TEST(SysfsFakeTreeTest, ListingAnswersAbsentFunctions) {
  const fs::path root = fs::temp_directory_path() / ("sysfs_listing_" + std::to_string(::getpid()));
  fs::remove_all(root);
  const auto add_function = [&](const char* name, uint8_t first_byte) {
    fs::create_directories(root / name);
    std::string bytes(64, '\0');
    bytes[0] = static_cast<char>(first_byte);
    std::ofstream(root / name / "config", std::ios::binary) << bytes;
  };
  add_function("0000:03:00.1", 0x86);
  fs::create_directories(root / "0001:05:00.0");  // another segment: never this one's
  const auto first_byte = [](platform::device_channel& channel, uint32_t bus, uint32_t device, uint32_t function) {
    config_packet p{bus, device, function, 0, 4, {}};
    uint32_t returned = 0;
    EXPECT_EQ(channel.control(0x222000, &p, sizeof p, &p, sizeof p, returned, 0), 0u);
    EXPECT_EQ(p.length, 4u);
    return p.data[0];
  };
  struct {
    std::chrono::milliseconds life;
    uint8_t added_after_listing;  // what a function added after the first read reads as
  } cases[] = {{std::chrono::hours(1), 0xFF}, {std::chrono::milliseconds(0), 0x10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.life.count());
    fs::remove_all(root / "0000:04:00.0");
    auto provider = platform::make_sysfs_provider(root.string(), c.life);
    uint32_t err = 0;
    auto channel = provider->open(provider->interfaces(platform::driver_class::config_space).at(0), err);
    ASSERT_TRUE(channel);
    EXPECT_EQ(first_byte(*channel, 3, 0, 1), 0x86);
    EXPECT_EQ(first_byte(*channel, 4, 0, 0), 0xFF);
    EXPECT_EQ(first_byte(*channel, 5, 0, 0), 0xFF);
    add_function("0000:04:00.0", 0x10);
    EXPECT_EQ(first_byte(*channel, 4, 0, 0), c.added_after_listing);
    // A new channel lists the folder afresh.
    auto fresh = provider->open(provider->interfaces(platform::driver_class::config_space).at(0), err);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(first_byte(*fresh, 4, 0, 0), 0x10);
    // Gone although listed: the bus answers with all ones.
    fs::remove_all(root / "0000:04:00.0");
    EXPECT_EQ(first_byte(*fresh, 4, 0, 0), 0xFF);
  }
  fs::remove_all(root);
}

}  // namespace
