// The card's USB controller: vendor records and memories, NOR FLASH, I2C and the next-boot
// registers, power cycles with the three mode encodings, reset, downloads and bulk pipes.
#include "usb/usb_controller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/devio.h"
#include "usb/ezusb_requests.h"

namespace zamsim {
namespace {

using platform::error::gen_failure;
using platform::error::success;

class UsbControllerTest : public ::testing::Test {
 protected:
  // A vendor request: direction 1 reads `data.size()` bytes into data, 0 writes them.
  uint32_t vendor(bool read, uint8_t request, uint32_t address, std::vector<uint8_t>& data,
                  uint32_t record_size = ezusb::vendor_record_size, uint8_t type = 2) {
    uint8_t record[16] = {static_cast<uint8_t>(read ? 1 : 0), type, 0, 0, request, 0,
                          static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                          static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 24)};
    uint32_t returned = 0;
    const uint32_t status = usb.serve(ezusb::ioctl_vendor, record, record_size, data.data(),
                                      static_cast<uint32_t>(data.size()), returned, 0);
    if (status == success) {
      EXPECT_EQ(returned, data.size());
    }
    return status;
  }
  std::vector<uint8_t> read(uint8_t request, uint32_t address, uint32_t count) {
    std::vector<uint8_t> data(count, 0xEE);
    EXPECT_EQ(vendor(true, request, address, data), success) << std::hex << int{request} << " " << address;
    return data;
  }
  uint32_t write(uint8_t request, uint32_t address, std::vector<uint8_t> data) { return vendor(false, request, address, data); }
  uint32_t bulk(uint32_t code, uint32_t pipe, std::vector<uint8_t>& data, uint32_t timeout_ms, uint32_t& returned) {
    uint8_t in[4] = {static_cast<uint8_t>(pipe), 0, 0, 0};
    return usb.serve(code, in, 4, data.data(), static_cast<uint32_t>(data.size()), returned, timeout_ms);
  }
  uint8_t mode_register() { return read(ezusb::request_xdata, ezusb::xdata_mode_register, 1)[0]; }
  uint32_t next_boot_from_i2c() {
    uint32_t value = 0;
    for (uint8_t bit = 0; bit < 2; ++bit) {
      EXPECT_EQ(write(ezusb::request_i2c, ezusb::i2c_next_boot_device, {static_cast<uint8_t>(0xF8 + bit)}), success);
      if (read(ezusb::request_i2c, ezusb::i2c_next_boot_device, 1)[0] == 0xFF) value |= 1u << bit;
    }
    return value;
  }

  zam_card card{mode_add_in_card, mode_add_in_card};
  usb_card_contents contents{1, 2, 3, 0x1, 0x10, 0x11, true};
  usb_controller usb{card, contents};
};

TEST_F(UsbControllerTest, VendorRecordsReachTheirMemoriesAndStallOutsideThem) {
  EXPECT_EQ(read(ezusb::request_version, 0, 4), (std::vector<uint8_t>{1, 2, 3, 0x80 | 0x40 | 0x1}));
  EXPECT_EQ(write(ezusb::request_xdata, 0x1000, {1, 2, 3}), success);
  EXPECT_EQ(read(ezusb::request_xdata, 0x0FFF, 5), (std::vector<uint8_t>{0, 1, 2, 3, 0}));
  EXPECT_EQ(write(ezusb::request_idata, 0xFE, {9, 8}), success);
  EXPECT_EQ(read(ezusb::request_idata, 0xFE, 2), (std::vector<uint8_t>{9, 8}));
  EXPECT_EQ(write(ezusb::request_eeprom, 0x3FFF, {0x5A}), success);
  EXPECT_EQ(read(ezusb::request_eeprom, 0x3FFE, 2), (std::vector<uint8_t>{0xFF, 0x5A}));
  EXPECT_EQ(read(ezusb::request_xdata, ezusb::xdata_link_status_a, 1)[0] & 0x3F, 0x10);
  EXPECT_EQ(read(ezusb::request_xdata, ezusb::xdata_link_status_b, 1)[0] & 0x3F, 0x11);
  // Past the end of each memory: a stall, and nothing written into the buffer.
  std::vector<uint8_t> two(2, 0xEE);
  EXPECT_EQ(vendor(true, ezusb::request_xdata, 0xFFFF, two), gen_failure);
  EXPECT_EQ(vendor(true, ezusb::request_idata, 0xFF, two), gen_failure);
  EXPECT_EQ(vendor(true, ezusb::request_eeprom, 0x3FFF, two), gen_failure);
  EXPECT_EQ(vendor(true, ezusb::request_version, 3, two), gen_failure);
  EXPECT_EQ(vendor(true, ezusb::request_flash, ezusb::flash_size - 1, two), gen_failure);
  EXPECT_EQ(two, (std::vector<uint8_t>{0xEE, 0xEE}));
  EXPECT_EQ(write(ezusb::request_eeprom, 0x3FFF, {1, 2}), gen_failure);
  // Malformed records and requests the firmware does not know.
  EXPECT_EQ(vendor(true, ezusb::request_xdata, 0, two, 9), gen_failure);
  EXPECT_EQ(vendor(true, ezusb::request_xdata, 0, two, 11), gen_failure);
  EXPECT_EQ(vendor(true, ezusb::request_xdata, 0, two, 10, 1), gen_failure);  // class, not vendor
  EXPECT_EQ(vendor(true, 0xB0, 0, two), gen_failure);
  EXPECT_EQ(vendor(true, ezusb::request_fpga, 0, two), gen_failure);
  std::vector<uint8_t> too_long(1025);
  EXPECT_EQ(vendor(true, ezusb::request_xdata, 0, too_long), gen_failure);
  uint32_t returned = 0;
  EXPECT_EQ(usb.serve(0x222999, nullptr, 0, nullptr, 0, returned, 0), platform::error::invalid_function);
}

TEST_F(UsbControllerTest, FlashErasesWholeSectorsAndProgramsLikeNor) {
  // The factory images carry their headers.
  for (uint32_t offset : {ezusb::image_known_endpoint, ezusb::image_topology, ezusb::image_add_in_card}) {
    const auto header = read(ezusb::request_flash, offset, 12);
    EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "ZAM1");
    EXPECT_EQ(header[6], 0x10);  // 4096 bytes, big-endian
  }
  // Erase a few bytes inside the topology image's sector: the whole sector, and only it.
  EXPECT_EQ(write(ezusb::request_flash_erase, ezusb::image_topology + 5, {0, 0, 0, 10}), success);
  EXPECT_EQ(read(ezusb::request_flash, ezusb::image_topology, 4), std::vector<uint8_t>(4, 0xFF));
  EXPECT_EQ(read(ezusb::request_flash, ezusb::image_topology + 0xFFFF, 1)[0], 0xFF);
  const auto before = read(ezusb::request_flash, ezusb::image_topology - 1, 1)[0];
  EXPECT_EQ(read(ezusb::request_flash, ezusb::image_topology - 1, 1)[0], before);
  // Programs go one after another from the erased start, whatever address they name.
  EXPECT_EQ(write(ezusb::request_flash, 0, {0xF0, 0x0F}), success);
  EXPECT_EQ(write(ezusb::request_flash, 0, {0x3C}), success);
  EXPECT_EQ(read(ezusb::request_flash, ezusb::image_topology + 5, 4), (std::vector<uint8_t>{0xF0, 0x0F, 0x3C, 0xFF}));
  // Programming again without an erase only clears bits.
  EXPECT_EQ(write(ezusb::request_flash_erase, ezusb::image_topology + 5, {0, 0, 0, 0}), success);
  EXPECT_EQ(read(ezusb::request_flash, ezusb::image_topology + 5, 1)[0], 0xFF);  // the sector again
  EXPECT_EQ(write(ezusb::request_flash, 0, {0xAA}), success);
  EXPECT_EQ(write(ezusb::request_flash_erase, ezusb::flash_size - 4, {0, 0, 0, 8}), gen_failure);
  EXPECT_EQ(write(ezusb::request_flash_erase, 0, {0, 0, 1}), gen_failure);  // the length takes 4 bytes
  // Programming past the end fails.
  EXPECT_EQ(write(ezusb::request_flash_erase, ezusb::flash_size - 2, {0, 0, 0, 2}), success);
  EXPECT_EQ(write(ezusb::request_flash, 0, {1, 2, 3}), gen_failure);
}

TEST_F(UsbControllerTest, I2cNextBootRegistersAreTheCardsNextBootValue) {
  EXPECT_EQ(next_boot_from_i2c(), 3u);  // add-in card
  EXPECT_EQ(write(ezusb::request_i2c, ezusb::i2c_next_boot_device, {0xF8, 0x00}), success);
  EXPECT_EQ(card.next_boot_value(), 2u);  // topology
  EXPECT_EQ(next_boot_from_i2c(), 2u);
  card.set_next_boot_mode(mode_known_endpoint);
  EXPECT_EQ(next_boot_from_i2c(), 1u);
  // Other registers of the device keep what is written; other devices NAK.
  EXPECT_EQ(write(ezusb::request_i2c, ezusb::i2c_next_boot_device, {0x10, 0xAB, 0xCD}), success);
  EXPECT_EQ(write(ezusb::request_i2c, ezusb::i2c_next_boot_device, {0x10}), success);
  EXPECT_EQ(read(ezusb::request_i2c, ezusb::i2c_next_boot_device, 2), (std::vector<uint8_t>{0xAB, 0xCD}));
  std::vector<uint8_t> one(1);
  EXPECT_EQ(vendor(true, ezusb::request_i2c, 0x50, one), gen_failure);
  EXPECT_EQ(write(ezusb::request_i2c, 0x50, {0}), gen_failure);
  EXPECT_EQ(write(ezusb::request_i2c, ezusb::i2c_next_boot_device, {}), gen_failure);
}

TEST_F(UsbControllerTest, PowerCyclesKeepTheThreeEncodingsInStep) {
  struct expectation {
    uint32_t value;
    uint32_t mode;
    uint8_t fpga;
  };
  for (const expectation e : {expectation{0, mode_add_in_card, 1}, expectation{1, mode_known_endpoint, 2},
                              expectation{2, mode_topology, 4}, expectation{3, mode_add_in_card, 1}}) {
    SCOPED_TRACE(e.value);
    EXPECT_EQ(write(ezusb::request_i2c, ezusb::i2c_next_boot_device, {0xF8, (e.value & 1) ? uint8_t{0xFF} : uint8_t{0}}),
              success);
    EXPECT_EQ(write(ezusb::request_i2c, ezusb::i2c_next_boot_device, {0xF9, (e.value & 2) ? uint8_t{0xFF} : uint8_t{0}}),
              success);
    usb.power_cycle();
    EXPECT_EQ(card.mode(), e.mode);
    EXPECT_EQ(mode_register(), e.fpga);
    EXPECT_EQ(next_boot_from_i2c(), e.value);
    EXPECT_EQ(read(ezusb::request_version, 3, 1)[0] & 0x40, 0x40);  // configured from its image
  }
  // The framework's card command moves the same state.
  uint8_t command[56] = {13, 0, 0, 0, 1, 0, 0, 0};  // set mode: topology
  uint32_t returned = 0;
  card.serve(command, sizeof command, command, sizeof command, returned);
  EXPECT_EQ(mode_register(), 4);
  // Debug DIP switch: switches 2-1 choose, whatever the I2C device says.
  card.set_dip_switches(dip_debug | 1);
  usb.power_cycle();
  EXPECT_EQ(card.mode(), mode_known_endpoint);
  EXPECT_EQ(read(ezusb::request_version, 3, 1)[0] & 0x7, 0x5);
  // Without an image for the mode the FPGA stays unconfigured.
  EXPECT_EQ(write(ezusb::request_flash_erase, ezusb::image_known_endpoint, {0, 0, 1, 0}), success);
  usb.power_cycle();
  EXPECT_EQ(read(ezusb::request_version, 3, 1)[0] & 0x40, 0);
  EXPECT_EQ(mode_register(), 0);
}

TEST_F(UsbControllerTest, ResetRamAndFpgaDownloads) {
  uint8_t hold[10] = {0xA0, 0, 0x00, 0xE6, 0, 0, 1, 0, 0, 1};
  uint32_t returned = 0;
  EXPECT_EQ(usb.serve(ezusb::ioctl_reset, hold, 10, nullptr, 0, returned, 0), success);
  EXPECT_NE(usb.describe().find("CPU held in reset"), std::string::npos);
  hold[2] = 0x01;  // not the CPU control register
  EXPECT_EQ(usb.serve(ezusb::ioctl_reset, hold, 10, nullptr, 0, returned, 0), gen_failure);
  EXPECT_EQ(usb.serve(ezusb::ioctl_reset, hold, 9, nullptr, 0, returned, 0), gen_failure);
  uint8_t address[2] = {0xF0, 0x1F};  // 0x1FF0
  uint8_t code[16] = {};
  EXPECT_EQ(usb.serve(ezusb::ioctl_ram_download, address, 2, code, 16, returned, 0), success);
  EXPECT_EQ(usb.serve(ezusb::ioctl_ram_download, address, 2, code, 17, returned, 0), gen_failure);
  EXPECT_NE(usb.describe().find("16 bytes of code downloaded"), std::string::npos);

  // An FPGA image in two pieces: configured only once complete.
  const auto header = image_header(300, 0);
  std::vector<uint8_t> first(header.begin(), header.end());
  first.resize(1024 > 256 + 100 ? 256 + 100 : 1024, 0x11);
  EXPECT_EQ(write(ezusb::request_fpga, 0, first), success);
  EXPECT_EQ(read(ezusb::request_version, 3, 1)[0] & 0x40, 0);
  EXPECT_EQ(write(ezusb::request_fpga, 1, std::vector<uint8_t>(200, 0x22)), success);
  EXPECT_EQ(read(ezusb::request_version, 3, 1)[0] & 0x40, 0x40);
  EXPECT_EQ(write(ezusb::request_fpga, 0, std::vector<uint8_t>(16, 0)), success);  // not an image
  EXPECT_EQ(read(ezusb::request_version, 3, 1)[0] & 0x40, 0);
}

TEST_F(UsbControllerTest, BulkPipesInTopologyModeTimeOutAndAbort) {
  std::vector<uint8_t> buffer(64);
  uint32_t returned = 0;
  // Not in topology mode: even a queued request does not arrive; the read waits out its time-out.
  usb.inject_request({1, 2, 3, 4});
  EXPECT_EQ(bulk(ezusb::ioctl_bulk_read, 1, buffer, 5, returned), platform::error::timeout);
  card.set_next_boot_mode(mode_topology);
  usb.power_cycle();  // a power cycle also drops what was queued
  EXPECT_EQ(bulk(ezusb::ioctl_bulk_read, 1, buffer, 5, returned), platform::error::timeout);
  usb.inject_request({0x04, 0, 0, 1, 0, 0, 0x01, 0x0F, 0, 0x18, 0, 0x10});
  EXPECT_EQ(bulk(ezusb::ioctl_bulk_read, 1, buffer, 5, returned), success);
  EXPECT_EQ(returned, 12u);
  EXPECT_EQ(buffer[11], 0x10);
  std::vector<uint8_t> completion{0x0A, 0, 0, 0, 0, 0x18, 0, 4, 0, 0, 1, 0};
  EXPECT_EQ(bulk(ezusb::ioctl_bulk_write, 0, completion, 1000, returned), success);
  EXPECT_EQ(usb.take_completions(), std::vector<std::vector<uint8_t>>{completion});
  EXPECT_TRUE(usb.take_completions().empty());
  EXPECT_EQ(bulk(ezusb::ioctl_bulk_write, 1, completion, 1000, returned), gen_failure);
  EXPECT_EQ(bulk(ezusb::ioctl_bulk_read, 0, buffer, 5, returned), gen_failure);
  // A read waiting for the system under test: a request wakes it, a power cycle aborts it.
  uint32_t woken = 0, aborted = 0;
  std::thread reader([&] { woken = bulk(ezusb::ioctl_bulk_read, 1, buffer, 10000, returned); });
  while (usb.describe().find("1 read(s) waiting") == std::string::npos) std::this_thread::yield();
  usb.inject_request(std::vector<uint8_t>(12, 0));
  reader.join();
  EXPECT_EQ(woken, success);
  std::vector<uint8_t> other(64);
  uint32_t other_returned = 0;
  std::thread waiter([&] { aborted = bulk(ezusb::ioctl_bulk_read, 1, other, platform::infinite_timeout, other_returned); });
  while (usb.describe().find("1 read(s) waiting") == std::string::npos) std::this_thread::yield();
  usb.power_cycle();
  waiter.join();
  EXPECT_EQ(aborted, platform::error::operation_aborted);
  EXPECT_EQ(other_returned, 0u);
}

}  // namespace
}  // namespace zamsim
