// The dump provider: reads as the dump gives them, short past its end, all ones where no
// function is; writes refused; other domains named; chosen by ZAM_CONFIG_DUMP.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/devio.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

struct config_packet {
  uint32_t bus, device, function, offset, length;
  uint8_t data[4096];
};
static_assert(sizeof(config_packet) == 4116);

constexpr uint32_t read_code = 0x222000;
constexpr uint32_t write_code = 0x222004;

class DumpProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("devio_dump_test_" + std::to_string(platform::current_process_id()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    platform::unset_environment("ZAM_CONFIG_DUMP");
    platform::unset_environment("ZAMSIM_SOCKET");
    fs::remove_all(folder_);
  }

  std::string write_file(const std::string& name, const std::string& text) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // 00:01.0 with 0x00-0x1f and 0x40-0x4f given (0x20-0x3f left out); 02:00.3 with 64 bytes;
  // 0001:00:00.0 on another domain.
  std::string sample_dump() {
    return write_file("sample.txt",
                      "00:01.0 Bridge\n"
                      "00: 86 80 39 7a 07 04 10 00 00 00 04 06 00 00 01 00\n"
                      "10: 00 00 00 00 00 00 00 00 00 01 01 00 00 00 00 00\n"
                      "40: 10 00 42 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
                      "\n"
                      "02:00.3 Endpoint\n"
                      "00: cd ab 20 00 00 00 00 00 00 00 00 02 00 00 00 00\n"
                      "10: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
                      "20: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
                      "30: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
                      "\n"
                      "0001:00:00.0 Elsewhere\n"
                      "00: 11 11 22 22 00 00 00 00 00 00 00 00 00 00 00 00\n");
  }

  static uint32_t send(platform::device_channel& channel, uint32_t code, config_packet& p,
                       uint32_t& returned) {
    return channel.control(code, &p, sizeof p, &p, sizeof p, returned, platform::infinite_timeout);
  }

  fs::path folder_;
};

TEST_F(DumpProviderTest, ReadsWhatTheDumpGives) {
  const std::string path = sample_dump();
  testing::internal::CaptureStderr();
  auto provider = platform::make_dump_provider(path);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "the configuration dump " + path +
                      ": 1 function(s) outside domain 0000 are not served (the configuration-space driver "
                      "reaches domain 0000 only): 0001:00:00.0 (line 12)\n");
  EXPECT_EQ(provider->name(), "dump");
  EXPECT_TRUE(provider->serves(platform::driver_class::config_space));
  EXPECT_FALSE(provider->serves(platform::driver_class::zam_card));
  ASSERT_EQ(provider->interfaces(platform::driver_class::config_space),
            std::vector<std::string>{"dump:pci-config"});
  EXPECT_TRUE(provider->interfaces(platform::driver_class::farrow_port).empty());
  EXPECT_EQ(provider->trouble(), "");
  uint32_t error_code = 0;
  EXPECT_EQ(provider->open("sysfs:pci-config", error_code), nullptr);
  EXPECT_EQ(error_code, platform::error::file_not_found);
  auto channel = provider->open("dump:pci-config", error_code);
  ASSERT_NE(channel, nullptr);

  struct read_case {
    const char* what;
    uint32_t bus, device, function, offset, length;
    uint32_t expected_length;
    std::vector<uint8_t> expected;
  };
  const read_case cases[] = {
      {"identity", 0, 1, 0, 0, 4, 4, {0x86, 0x80, 0x39, 0x7a}},
      {"bus numbers", 0, 1, 0, 0x18, 3, 3, {0x00, 0x01, 0x01}},
      {"a line left out reads as all ones", 0, 1, 0, 0x30, 4, 4, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"across a left-out line", 0, 1, 0, 0x3E, 4, 4, {0xFF, 0xFF, 0x10, 0x00}},
      {"last bytes", 0, 1, 0, 0x4E, 2, 2, {0x00, 0x00}},
      {"across the end: short", 0, 1, 0, 0x4C, 8, 4, {0x00, 0x00, 0x00, 0x00}},
      {"past the end: nothing", 0, 1, 0, 0x100, 4, 0, {}},
      {"a -x dump's 64 bytes", 2, 0, 3, 0, 64, 64, {}},
      {"past a -x dump's 64 bytes", 2, 0, 3, 0x40, 4, 0, {}},
      {"no function there: all ones", 2, 0, 2, 0, 4, 4, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"no function there, far out", 255, 31, 7, 0xFFC, 4, 4, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"another domain's function is not on domain 0", 0, 0, 0, 0, 2, 2, {0xFF, 0xFF}},
  };
  for (const read_case& c : cases) {
    config_packet p{c.bus, c.device, c.function, c.offset, c.length, {}};
    std::memset(p.data, 0x5A, sizeof p.data);
    uint32_t returned = 0;
    ASSERT_EQ(send(*channel, read_code, p, returned), platform::error::success) << c.what;
    EXPECT_EQ(p.length, c.expected_length) << c.what;
    EXPECT_EQ(returned, 20 + c.expected_length) << c.what;
    EXPECT_EQ(p.offset, c.offset) << c.what;
    for (std::size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(p.data[i], c.expected[i]) << c.what << " byte " << i;
    EXPECT_EQ(p.data[c.expected_length], 0x5A) << c.what << ": nothing written past what was read";
  }

  config_packet bad{0, 32, 0, 0, 4, {}};
  uint32_t returned = 0;
  EXPECT_EQ(send(*channel, read_code, bad, returned), platform::error::invalid_parameter);
  config_packet beyond{0, 1, 0, 4093, 4, {}};
  EXPECT_EQ(send(*channel, read_code, beyond, returned), platform::error::invalid_parameter);
  uint8_t mcfg[24];
  EXPECT_EQ(channel->control(0x22201C, nullptr, 0, mcfg, sizeof mcfg, returned, 0), platform::error::not_supported);
  EXPECT_EQ(channel->control(0x222FFF, nullptr, 0, nullptr, 0, returned, 0), platform::error::invalid_function);
}

TEST_F(DumpProviderTest, RefusesWritesAndSaysSoOnce) {
  const std::string path = sample_dump();
  testing::internal::CaptureStderr();
  auto provider = platform::make_dump_provider(path);
  uint32_t error_code = 0;
  auto channel = provider->open("dump:pci-config", error_code);
  auto second = provider->open("dump:pci-config", error_code);
  ASSERT_NE(channel, nullptr);
  testing::internal::GetCapturedStderr();

  testing::internal::CaptureStderr();
  config_packet p{0, 1, 0, 0x04, 2, {0x00, 0x00}};
  uint32_t returned = 0;
  EXPECT_EQ(send(*channel, write_code, p, returned), platform::error::access_denied);
  config_packet q{2, 0, 3, 0x10, 4, {}};
  EXPECT_EQ(send(*second, write_code, q, returned), platform::error::access_denied);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "configuration write to 00:01.0 at 0x004 refused: the configuration space comes from the dump " + path +
                ", which is read-only (later writes are refused too)\n");

  // Nothing changed.
  config_packet r{0, 1, 0, 0x04, 2, {}};
  ASSERT_EQ(send(*channel, read_code, r, returned), platform::error::success);
  EXPECT_EQ(r.data[0], 0x07);
  EXPECT_EQ(r.data[1], 0x04);
}

TEST_F(DumpProviderTest, ZamConfigDumpChoosesItForConfigurationSpaceOnly) {
  const std::string path = sample_dump();
  platform::set_environment("ZAM_CONFIG_DUMP", path);
  testing::internal::CaptureStderr();
  auto provider = platform::active_provider_for(platform::driver_class::config_space);
  testing::internal::GetCapturedStderr();
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(provider->name(), "dump");
  EXPECT_EQ(platform::device_interfaces(platform::driver_class::config_space),
            std::vector<std::string>{"dump:pci-config"});
  const platform::device_handle handle = platform::open_device("dump:pci-config");
  ASSERT_NE(handle, platform::invalid_handle);
  config_packet p{2, 0, 3, 0, 4, {}};
  uint32_t returned = 0;
  ASSERT_TRUE(platform::device_control(handle, read_code, &p, sizeof p, &p, sizeof p, &returned));
  EXPECT_EQ(p.data[0], 0xCD);
  EXPECT_EQ(p.data[1], 0xAB);
  platform::close_device(handle);

  // With a lab named too, the dump still serves configuration space; the lab the rest.
  platform::set_environment("ZAMSIM_SOCKET", (folder_ / "none.sock").string());
  EXPECT_EQ(platform::active_provider_for(platform::driver_class::config_space)->name(), "dump");
  EXPECT_EQ(platform::active_provider_for(platform::driver_class::zam_card)->name(), "lab");
  platform::unset_environment("ZAMSIM_SOCKET");

  // A dump that cannot be used says why and lists nothing: a lookup never falls back to
  // this machine's configuration space.
  const std::string broken = write_file("broken.txt", "00:00.0\n00: 86 80\n");
  platform::set_environment("ZAM_CONFIG_DUMP", broken);
  testing::internal::CaptureStderr();
  provider = platform::active_provider_for(platform::driver_class::config_space);
  const std::string said = testing::internal::GetCapturedStderr();
  const std::string reason =
      "the configuration dump " + broken + " cannot be used: line 2: 2 bytes where a line holds 16";
  EXPECT_EQ(said, reason + "\n");
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(provider->name(), "dump");
  EXPECT_TRUE(platform::device_interfaces(platform::driver_class::config_space).empty());
  EXPECT_EQ(platform::open_device("dump:pci-config"), platform::invalid_handle);
  EXPECT_EQ(platform::driver_trouble(), reason);

  platform::unset_environment("ZAM_CONFIG_DUMP");
  provider = platform::active_provider_for(platform::driver_class::config_space);
  ASSERT_NE(provider, nullptr);
  EXPECT_NE(provider->name(), "dump");
}

}  // namespace
