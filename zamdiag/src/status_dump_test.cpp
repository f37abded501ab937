// Version, image information, the status dump, modes and the link check against the stand-in.
#include "status_dump.h"

#include <cstring>

#include "flash_image.h"
#include "print_format.h"
#include "zamdiag_fixture.h"

namespace zamdiag::testing {
namespace {

// Writes a mode image header as a programmed FLASH holds it.
void put_image(fake_ezusb& card, uint32_t address, uint32_t size, uint32_t time) {
  const auto header = image_header(size, time);
  std::memcpy(&card.flash[address], header.data(), header.size());
}

const std::string dashes = std::string(70, '-') + "\n";

TEST_F(ZamdiagTest, VersionAndImageInformation) {
  EXPECT_EQ(zamdiag({"-v"}), 0);
  EXPECT_EQ(out_.str(), "2.5\n");
  EXPECT_EQ(card_.requests[0].in, (std::vector<uint8_t>{1, 2, 0, 0, 0xA1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(card_.requests[0].out_capacity, 4u);
  card_.version[2] = 17;
  EXPECT_EQ(zamdiag({"-v"}), 0);
  EXPECT_EQ(out_.str(), "2.5.17\n");

  put_image(card_, 0x410000, 307200, 1000000000);
  EXPECT_EQ(zamdiag({"-V", "0x410000"}), 0);
  EXPECT_EQ(out_.str(), "307200 bytes, Sun Sep  9 01:46:40 2001\n");
  EXPECT_EQ(card_.requests[0].out_capacity, 12u);
  // No image where one was asked for is a failure, not an answer.
  EXPECT_EQ(zamdiag({"-V", "0x400000"}), -1);
  EXPECT_EQ(out_.str(), "invalid image at 0x00400000\n");
  EXPECT_EQ(zamdiag({"-V", "0x7FFFFC"}), -1);
  EXPECT_EQ(out_.str(), "error reading FLASH\n");

  // A short version record is not taken for a version.
  card_.short_reads[0xA1] = 2;
  EXPECT_EQ(zamdiag({"-v"}), -1);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "short read at 0x0000: 2 of 4 bytes\n");
}

TEST_F(ZamdiagTest, StatusDumpOfAFreshCard) {
  card_.version[3] = 0xC0;  // DIP switches valid, FPGA configured, all switches off
  card_.xdata[0xD800] = 1;
  card_.xdata[0xCF28] = 0xD1;
  card_.xdata[0xC728] = 0x10;
  card_.boot_mode_registers[0] = 0xFF;
  card_.boot_mode_registers[1] = 0xFF;
  put_image(card_, 0x610000, 1048576, 1000000000);
  put_image(card_, 0x410000, 1048000, 1000000060);
  EXPECT_EQ(zamdiag({"-s"}), 0);
  EXPECT_EQ(out_.str(), "\n" + dashes +
                            "ZAM status dump                Wed Dec  9 14:05:09 2026\n" + dashes +
                            "Firmware version               2.5\n"
                            "DIP Switch 3/2/1               off off off\n"
                            "Current mode                   add-in card mode\n"
                            "Mode after power cycle         add-in card mode\n"
                            "Link status                    1110\n"
                            "FPGA image add-in card mode    1048576 bytes, Sun Sep  9 01:46:40 2001\n"
                            "FPGA image topology mode       1048000 bytes, Sun Sep  9 01:47:40 2001\n"
                            "FPGA image known endpoint mode invalid image at 0x00210000\n" +
                            dashes);
  EXPECT_EQ(err_.str(), "");
  // The next-boot mode: register 0xF9 (bit 1) first, then 0xF8 (bit 0), each a write then a read.
  std::vector<std::pair<uint8_t, uint32_t>> i2c;
  for (const auto& r : card_.requests) {
    if (fake_ezusb::vendor_code(r) == 0xAD) {
      i2c.emplace_back(fake_ezusb::vendor_read(r) ? 0 : r.sent.at(0), fake_ezusb::vendor_address(r));
    }
  }
  EXPECT_EQ(i2c, (std::vector<std::pair<uint8_t, uint32_t>>{{0xF9, 0x53}, {0, 0x53}, {0xF8, 0x53}, {0, 0x53}}));
}

TEST_F(ZamdiagTest, StatusDumpInDebugModeAndWithOldFirmware) {
  card_.version[3] = 0x86;  // valid, FPGA not configured, switch 3 and 2 on: topology next
  EXPECT_EQ(zamdiag({"-s"}), 0);
  const std::string text = out_.str();
  EXPECT_NE(text.find("DIP Switch 3/2/1               on on off - ZAM IN DEBUG MODE !!!\n"
                      "Current mode                   FPGA NOT CONFIGURED !!!\n"
                      "Mode after power cycle         topology mode\n"),
            std::string::npos)
      << text;
  for (const auto& r : card_.requests) EXPECT_NE(fake_ezusb::vendor_code(r), 0xAD);

  card_.version[3] = 0x40;
  card_.xdata[0xD800] = 9;
  EXPECT_EQ(zamdiag({"-s"}), 0);
  EXPECT_NE(out_.str().find("DIP Switch 3/2/1               unknown (40) old firmware??\n"
                            "Current mode                   unknown FPGA image (09)\n"
                            "Mode after power cycle         unknown FPGA image (00)\n"),
            std::string::npos)
      << out_.str();
}

TEST_F(ZamdiagTest, StatusDumpNeverShowsValuesThatFailedToRead) {
  card_.fail_when = [](const request_seen& r) {
    return fake_ezusb::vendor_code(r) == 0xA1 || fake_ezusb::vendor_address(r) == 0xC728;
  };
  EXPECT_EQ(zamdiag({"-s"}), -1);
  const std::string text = out_.str();
  EXPECT_NE(text.find("Firmware version               read failed\n"
                      "DIP Switch 3/2/1               read failed\n"
                      "Current mode                   read failed\n"
                      "Mode after power cycle         read failed\n"
                      "Link status                    read failed\n"
                      "FPGA image add-in card mode    invalid image at 0x00610000\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(err_.str(), "ioctl failed\nioctl failed\n");
}

TEST_F(ZamdiagTest, NextBootModeIsWrittenBitByBit) {
  EXPECT_EQ(zamdiag({"-M", "k"}), 0);
  ASSERT_EQ(card_.requests.size(), 2u);
  EXPECT_EQ(card_.requests[0].in, (std::vector<uint8_t>{0, 2, 0, 0, 0xAD, 0, 0x53, 0, 0, 0}));
  EXPECT_EQ(card_.requests[0].sent, (std::vector<uint8_t>{0xF8, 0xFF}));
  EXPECT_EQ(card_.requests[1].in, (std::vector<uint8_t>{0, 2, 0, 0, 0xAD, 0, 0x53, 0, 0, 0}));
  EXPECT_EQ(card_.requests[1].sent, (std::vector<uint8_t>{0xF9, 0x00}));
  EXPECT_EQ(zamdiag({"-M", "1"}), 0);
  EXPECT_EQ(card_.boot_mode_registers[0], 0xFF);
  EXPECT_EQ(card_.boot_mode_registers[1], 0x00);
  EXPECT_EQ(zamdiag({"-M", "T"}), 0);
  EXPECT_EQ(card_.boot_mode_registers[0], 0x00);
  EXPECT_EQ(card_.boot_mode_registers[1], 0xFF);
  // The status dump reads back what was written.
  EXPECT_EQ(zamdiag({"-s"}), 0);
  EXPECT_NE(out_.str().find("Mode after power cycle         topology mode\n"), std::string::npos);

  // -M without a mode names the FPGA mode register.
  for (auto [mode, text] : {std::pair{1, "AIC\n"}, {2, "KEP\n"}, {4, "TOP\n"}, {3, "unknown (03)"}}) {
    card_.xdata[0xD800] = static_cast<uint8_t>(mode);
    EXPECT_EQ(zamdiag({"-M"}), 0);
    EXPECT_EQ(out_.str(), text);
  }
  card_.fail_when = [](const request_seen&) { return true; };
  EXPECT_EQ(zamdiag({"-M"}), -1);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(zamdiag({"-M", "a"}), -1);
  EXPECT_EQ(card_.requests.size(), 1u);  // stops at the first failed write
}

TEST_F(ZamdiagTest, ModeQueryAndLinkCheckStatuses) {
  card_.xdata[0xD800] = 2;
  EXPECT_EQ(zamdiag({"-m"}), 2);
  EXPECT_EQ(out_.str(), "");
  for (uint8_t up : {0x10, 0x50, 0x90, 0xD0}) {
    card_.xdata[0xCF28] = up;
    EXPECT_EQ(zamdiag({"-k", "1"}), 0) << int(up);
    EXPECT_EQ(fake_ezusb::vendor_address(card_.requests.at(0)), 0xCF28u);
  }
  EXPECT_EQ(err_.str(), "");
  for (uint8_t other : {0x00, 0x11, 0x0F, 0x30}) {
    card_.xdata[0xCF28] = other;
    EXPECT_EQ(zamdiag({"-k", "1"}), -2) << int(other);
    EXPECT_EQ(err_.str(), format("link check: port A link state is 0x%02x, not 0x10\n", other & 0x3F));
  }
  // A link that is down says so on the port asked for (port 0 is port B).
  card_.xdata[0xC728] = 0x05;
  EXPECT_EQ(zamdiag({"-k", "0"}), -2);
  EXPECT_EQ(err_.str(), "link check: port B link state is 0x05, not 0x10\n");
  EXPECT_EQ(out_.str(), "");
  card_.xdata[0xC728] = 0x10;
  EXPECT_EQ(zamdiag({"-k", "0"}), 0);
  EXPECT_EQ(fake_ezusb::vendor_address(card_.requests.at(0)), 0xC728u);
  // A register that did not read is neither link up nor link down, nor a mode.
  card_.fail_when = [](const request_seen&) { return true; };
  EXPECT_EQ(zamdiag({"-k", "0"}), -1);
  EXPECT_EQ(zamdiag({"-m"}), -1);
  EXPECT_EQ(err_.str(), "ioctl failed\n");
}

}  // namespace
}  // namespace zamdiag::testing
