// The card's USB device through the real device layer and daemon: bulk reads that time
// out, are aborted by a power cycle or answered by an injected request; vendor requests
// that choose the next-boot mode; zamlib moving a request and its completion.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

// The framework sees the mode the card's USB side chose: next boot topology, power cycle.
TEST_F(UsbOnLab, QueryZamModeSeesTopologyAfterNextBootAndPowerCycle) {
  std::ofstream(folder_ + "/KALIXapp.ini") << "[DLL]\r\nDLLName=Pellor.dll\r\n";
  std::ofstream(folder_ + "/mode.dat") << "<?xml version=\"1.0\"?>\n<VexoDat>\n"
                                       << "  <VEXOINIFilePath path=\"" << folder_ << "\"/>\n"
                                       << "  <VEXOINIFileName name=\"KALIXapp.ini\"/>\n"
                                       << "  <DUT vendorid=\"ABCD\" deviceid=\"0020\"/>\n</VexoDat>\n";
  const std::string bin = std::filesystem::path(LAB_MODE_EXE).parent_path().string();
  const auto query = [&] {
    int code = -1;
    const std::string out = capture("cd " + bin + " && ZAMSIM_SOCKET=" + socket_ + " " + LAB_MODE_EXE + " " +
                                        folder_ + "/mode.dat 2>/dev/null",
                                    &code);
    EXPECT_EQ(code, 0) << out;
    return out.substr(out.rfind("mode "));
  };
  EXPECT_EQ(query(), "mode 0\n");  // add-in card
  set_next_boot_bit(0, false);
  set_next_boot_bit(1, true);
  EXPECT_EQ(query(), "mode 0\n");  // only the next boot changed
  power_cycle();
  EXPECT_EQ(query(), "mode 1\n");  // topology
}

// The real fwtool program against the lab: the card in topology mode, a small firmware's
// requests waiting on pipe 1, an automated case that answers them and passes.
TEST_F(UsbOnLab, FwtoolAnswersAFirmwareThroughTheLab) {
  set_next_boot_bit(0, false);
  set_next_boot_bit(1, true);
  power_cycle();
  platform::lab_client client(socket_);
  // 00:00.0 vendor/device, its header type, an empty slot, the command register, the end marker.
  const std::vector<std::vector<uint8_t>> firmware{
      {0x04, 0, 0, 1, 0, 0, 0x00, 0x0F, 0, 0x00, 0, 0x00},
      {0x04, 0, 0, 1, 0, 0, 0x01, 0x0F, 0, 0x00, 0, 0x0C},
      {0x04, 0, 0, 1, 0, 0, 0x02, 0x0F, 0, 0x08, 0, 0x00},
      {0x44, 0, 0, 1, 0, 0, 0x03, 0x03, 0, 0x00, 0, 0x04, 0, 0, 0, 0},
      {0x44, 0, 0, 1, 0, 0, 0x04, 0x01, 0, 0x00, 0, 0xFC, 1, 0, 0, 0}};
  uint32_t none = 0;
  for (const auto& request : firmware) {
    ASSERT_EQ(client.call(lab::operation::inject_request, 0, 0, request.data(), static_cast<uint32_t>(request.size()),
                          nullptr, 0, none, 1000),
              0u);
  }
  const std::filesystem::path bench = std::filesystem::path(folder_) / "bench";
  std::filesystem::create_directories(bench / "ini");
  std::filesystem::create_directories(bench / "Tests" / "Cases");
  std::filesystem::copy_file(FWTOOL_TESTDATA "/one_endpoint.test", bench / "Tests" / "Cases" / "one.test");
  std::filesystem::create_symlink(ZAMLIB_FILE, bench / "libzamlib.so");
  {
    std::ofstream ini(bench / "ini" / "ORVENapp.ini");
    ini << "[DLL]\nDLLName=zamlib.dll\n[TimingParameters]\nDriverInitTimeout=1000\nFirstRequestTimeout=2000\n"
           "TrafficStopTimeout=1000\n[CustomOptions]\nAutomateRunAll=1\nPromptUserToPowerSystem=0\n";
  }
  int code = -1;
  const std::string out = capture("cd " + bench.string() + " && ZAM_OPERATOR=auto ZAMSIM_SOCKET=" + socket_ + " " +
                                      FWTOOL_EXE + " Tests/Cases/one.test \"Lab Case\" 2>&1",
                                  &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_EQ(out, "exiting with ORVENStatus = 0x00000000\n");
  std::vector<uint8_t> taken(4096);
  uint32_t returned = 0;
  ASSERT_EQ(client.call(lab::operation::take_completions, 0, 0, nullptr, 0, taken.data(), 4096, returned, 1000), 0u);
  // Four completions (16, 16, 12 and 12 bytes with their length words); the marker is not answered.
  EXPECT_EQ(returned, 4u * 4 + 16 + 16 + 12 + 12);
  EXPECT_NE(std::ifstream(bench / "logs" / "Lab Case.packets").peek(), EOF);
}

}  // namespace
}  // namespace e2e
