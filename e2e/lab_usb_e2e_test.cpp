// The card's USB device through the real device layer and daemon: bulk reads that time
// out, are aborted by a power cycle or answered by an injected request; vendor requests
// that choose the next-boot mode; zamlib moving a request and its completion.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "lab_fixture.h"
#include "platform/devio.h"
#include "platform/lab_client.h"
#include "platform/library.h"

namespace e2e {
namespace {

namespace lab = platform::lab;

class UsbOnLab : public LabTest {
 protected:
  void SetUp() override {
    start_lab("default.station");
    handle_ = platform::open_device("ezusb-0");
    ASSERT_NE(handle_, platform::invalid_handle) << platform::last_error();
  }
  void TearDown() override {
    if (handle_ != platform::invalid_handle) platform::close_device(handle_);
    LabTest::TearDown();
  }
  bool bulk_read(std::vector<uint8_t>& buffer, uint32_t timeout_ms, uint32_t& returned) {
    uint32_t pipe = 1;
    return platform::device_control(handle_, 0x22204E, &pipe, 4, buffer.data(), static_cast<uint32_t>(buffer.size()),
                                    &returned, timeout_ms);
  }
  // An I2C write of the next-boot register for bit b.
  void set_next_boot_bit(uint8_t bit, bool one) {
    const uint8_t record[10] = {0, 2, 0, 0, 0xAD, 0, 0x53, 0, 0, 0};
    uint8_t data[2] = {static_cast<uint8_t>(0xF8 + bit), static_cast<uint8_t>(one ? 0xFF : 0x00)};
    uint32_t returned = 0;
    ASSERT_TRUE(platform::device_control(handle_, 0x222059, record, 10, data, 2, &returned)) << platform::last_error();
  }
  void power_cycle() {
    int code = -1;
    capture(std::string(ZAMSIM_EXE) + " power-cycle-card --socket " + socket_, &code);
    ASSERT_EQ(code, 0);
  }

  platform::device_handle handle_ = platform::invalid_handle;
};

TEST_F(UsbOnLab, BulkReadsTimeOutAbortAndDeliver) {
  std::vector<uint8_t> buffer(64);
  uint32_t returned = 0;
  // Add-in card mode: nothing arrives; the read ends with its time-out.
  EXPECT_FALSE(bulk_read(buffer, 50, returned));
  EXPECT_EQ(platform::last_error(), platform::error::timeout);

  // A read waiting when the card is power-cycled is aborted.
  uint32_t error = 0;
  std::thread reader([&] {
    std::vector<uint8_t> own(64);
    uint32_t got = 0;
    if (!bulk_read(own, 5000, got)) error = platform::last_error();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  power_cycle();
  reader.join();
  EXPECT_EQ(error, platform::error::operation_aborted);

  // Next boot topology (value 2: bit 1 set, bit 0 clear), power cycle, then a request.
  set_next_boot_bit(0, false);
  set_next_boot_bit(1, true);
  power_cycle();
  EXPECT_NE(capture(std::string(ZAMSIM_EXE) + " show --socket " + socket_).find("card: mode 1 (topology"),
            std::string::npos);
  platform::lab_client client(socket_);
  const std::vector<uint8_t> request{0x04, 0, 0, 1, 0, 0, 1, 0x0F, 0, 0x18, 0, 0x10};
  uint32_t none = 0;
  ASSERT_EQ(client.call(lab::operation::inject_request, 0, 0, request.data(), 12, nullptr, 0, none, 1000), 0u);
  ASSERT_TRUE(bulk_read(buffer, 1000, returned)) << platform::last_error();
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + returned), request);
}

TEST_F(UsbOnLab, ZamlibMovesARequestAndItsCompletion) {
  set_next_boot_bit(0, false);
  set_next_boot_bit(1, true);
  power_cycle();
  platform::lab_client client(socket_);
  const std::vector<uint8_t> request{0x04, 0, 0, 1, 0, 0, 1, 0x0F, 0, 0x18, 0, 0x10};
  uint32_t none = 0;
  ASSERT_EQ(client.call(lab::operation::inject_request, 0, 0, request.data(), 12, nullptr, 0, none, 1000), 0u);

  // zamlib writes its packet log into the current folder: the lab's private one.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder_);
  platform::library_handle zamlib = platform::load_library("zamlib.dll");
  std::filesystem::current_path(previous);
  ASSERT_NE(zamlib, nullptr) << platform::library_error();
  auto init = reinterpret_cast<uint32_t (*)(uint32_t)>(platform::find_symbol(zamlib, "ORVENInitHardwareDriver"));
  auto read = reinterpret_cast<uint32_t (*)(uint32_t, uint32_t, uint32_t*, uint32_t*)>(
      platform::find_symbol(zamlib, "ORVENReadConfigRequest"));
  auto write = reinterpret_cast<uint32_t (*)(const uint32_t*, uint32_t, uint32_t)>(
      platform::find_symbol(zamlib, "ORVENWriteConfigCompletion"));
  auto close = reinterpret_cast<uint32_t (*)()>(platform::find_symbol(zamlib, "ORVENCloseHardwareDriver"));
  ASSERT_TRUE(init && read && write && close);
  ASSERT_EQ(init(1000), 0u);
  uint32_t words[16] = {};
  uint32_t bytes = 0;
  ASSERT_EQ(read(sizeof words, 1000, &bytes, words), 0u);
  EXPECT_EQ(bytes, 12u);
  EXPECT_EQ(words[0], 0x04000001u);
  EXPECT_EQ(words[2], 0x00180010u);
  const uint32_t completion[4] = {0x4A000001u, 0x00180004u, 0x00000100u, 0x86801234u};
  ASSERT_EQ(write(completion, 16, 1000), 0u);
  testing::internal::CaptureStdout();
  EXPECT_EQ(read(sizeof words, 100, &bytes, words), 0x80000009u);  // nothing more: timed out
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "DeviceIoControl TIMEOUT!\n");
  close();
  platform::unload_library(zamlib);

  std::vector<uint8_t> taken(1024);
  uint32_t returned = 0;
  ASSERT_EQ(client.call(lab::operation::take_completions, 0, 0, nullptr, 0, taken.data(), 1024, returned, 1000), 0u);
  const std::vector<uint8_t> expected{16, 0, 0, 0, 0x4A, 0, 0, 1, 0, 0x18, 0, 4, 0, 0, 1, 0, 0x86, 0x80, 0x12, 0x34};
  EXPECT_EQ(std::vector<uint8_t>(taken.begin(), taken.begin() + returned), expected);
}

}  // namespace
}  // namespace e2e
