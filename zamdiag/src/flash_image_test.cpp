// FLASH programming and verification: header, erase, piece writes, compare errors.
#include "flash_image.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "print_format.h"

#include "zamdiag_fixture.h"

namespace zamdiag::testing {
namespace {

std::vector<uint8_t> image_bytes(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 10));
  return bytes;
}

class FlashImageTest : public ZamdiagTest {
 protected:
  // An image file with a fixed modification time.
  std::string image(const std::string& name, std::size_t size) {
    const std::string p = file(name, image_bytes(size));
    std::filesystem::last_write_time(
        p, std::filesystem::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1765000000))));
    return p;
  }
};

TEST(FlashImageHeaderTest, MagicSizeTimeAndZeros) {
  const auto header = image_header(0x0004B000, 0x6935A480);
  EXPECT_EQ(std::vector<uint8_t>(header.begin(), header.begin() + 12),
            (std::vector<uint8_t>{'Z', 'A', 'M', '1', 0x00, 0x04, 0xB0, 0x00, 0x69, 0x35, 0xA4, 0x80}));
  EXPECT_TRUE(std::all_of(header.begin() + 12, header.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(flash_region_end(0), 0x210000u);
  EXPECT_EQ(flash_region_end(0x210000), 0x410000u);
  EXPECT_EQ(flash_region_end(0x610000), 0x800000u);
  EXPECT_FALSE(flash_region_end(0x800000));
}

TEST_F(FlashImageTest, ProgramThenVerifyAnImageWithHeader) {
  const std::string p = image("aic.bit", 300 * 1024);
  EXPECT_EQ(zamdiag({"-P", p, "0x610000", "1"}), 0);
  EXPECT_EQ(out_.str(), "erasing...\nprogramming.......done\n");
  EXPECT_EQ(err_.str(), "");
  // The erase names the offset and the length with the header; program writes go to 0.
  EXPECT_EQ(card_.requests[0].in, (std::vector<uint8_t>{0, 2, 0, 0, 0xAA, 0, 0x00, 0x00, 0x61, 0x00}));
  EXPECT_EQ(card_.requests[0].sent, (std::vector<uint8_t>{0x00, 0x04, 0xB1, 0x00}));
  EXPECT_EQ(card_.requests[0].timeout_ms, 60000u);
  EXPECT_EQ(card_.requests[1].sent.size(), 256u);
  EXPECT_EQ(card_.requests.size(), 2u + 300u);
  for (std::size_t i = 1; i < card_.requests.size(); ++i) {
    EXPECT_EQ(fake_ezusb::vendor_code(card_.requests[i]), 0xAB);
    EXPECT_EQ(fake_ezusb::vendor_address(card_.requests[i]), 0u);
  }
  const auto header = image_header(300 * 1024, 1765000000);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), card_.flash.begin() + 0x610000));
  const auto bytes = image_bytes(300 * 1024);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), card_.flash.begin() + 0x610100));

  EXPECT_EQ(zamdiag({"-p", p, "0x610000", "1"}), 0);
  EXPECT_EQ(out_.str(), "verifying.......done\n");
  EXPECT_EQ(zamdiag({"-V", "0x610000"}), 0);
  EXPECT_EQ(out_.str(), "307200 bytes, Sat Dec  6 05:46:40 2025\n");

  // One byte flipped in the FLASH is reported at its file offset.
  card_.flash[0x610100 + 0x12345] ^= 0x01;
  EXPECT_EQ(zamdiag({"-p", p, "0x610000", "1"}), -1);
  EXPECT_EQ(out_.str(), "verifying....\n*** image compare error at offset 0x00012345 [file: " +
                            format("%02x - flash: %02x", bytes[0x12345], bytes[0x12345] ^ 1) +
                            "] ...\nverify failed: 1 error\n");
}

TEST_F(FlashImageTest, VerifyWithoutHeaderOfAnImageWrittenWithOne) {
  const std::string p = image("kep.bit", 2048);
  ASSERT_EQ(zamdiag({"-P", p, "0x210000", "1"}), 0);
  EXPECT_EQ(zamdiag({"-p", p, "0x210000", "0"}), -1);
  const std::string text = out_.str();
  // The header's bytes sit where the image should start: the first differences are there.
  EXPECT_EQ(text.rfind("verifying...\n*** image compare error at offset 0x00000000 [file: 00 - flash: 5a] ", 0), 0u)
      << text;
  EXPECT_NE(text.find("\n...compare aborted...\n"), std::string::npos);
  EXPECT_NE(text.find("\nverify failed: 21 errors\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '*'), 21 * 3);

  // A header that does not match (another time) counts as one error.
  std::filesystem::last_write_time(p, std::filesystem::file_time_type::clock::now());
  EXPECT_EQ(zamdiag({"-p", p, "0x210000", "1"}), -1);
  EXPECT_EQ(out_.str(), "verifying...\n*** compare error in image header! \nverify failed: 1 error\n");
}

TEST_F(FlashImageTest, FailuresNeverEndInDone) {
  const std::string p = image("top.bit", 4096);
  // A failed program write ends the loop with a failure.
  int writes = 0;
  card_.fail_when = [&writes](const request_seen& r) {
    return fake_ezusb::vendor_code(r) == 0xAB && !fake_ezusb::vendor_read(r) && ++writes == 3;
  };
  EXPECT_EQ(zamdiag({"-P", p, "0x410000", "0"}), -1);
  EXPECT_EQ(out_.str(), "erasing...\nprogramming...\nprogramming failed at offset 0x00000800\n");
  EXPECT_EQ(err_.str(), "ioctl failed\n");
  EXPECT_EQ(card_.requests.size(), 4u);

  // A failed erase stops before anything is written.
  card_.fail_when = [](const request_seen& r) { return fake_ezusb::vendor_code(r) == 0xAA; };
  EXPECT_EQ(zamdiag({"-P", p, "0x410000", "0"}), -1);
  EXPECT_EQ(out_.str(), "erasing...\n");
  EXPECT_EQ(card_.requests.size(), 1u);

  // A failed FLASH read while verifying.
  card_.fail_when = [](const request_seen& r) { return fake_ezusb::vendor_code(r) == 0xAB; };
  EXPECT_EQ(zamdiag({"-p", p, "0x410000", "0"}), -1);
  EXPECT_EQ(out_.str(), "verifying...\n*** error reading FLASH \nverify failed: 1 error\n");
  card_.fail_when = nullptr;

  EXPECT_EQ(zamdiag({"-P", path("none.bit"), "0x410000", "1"}), -1);
  EXPECT_EQ(err_.str(), "can't get info about " + path("none.bit") + "\n");
  EXPECT_TRUE(card_.requests.empty());
}

TEST_F(FlashImageTest, AnImageLargerThanItsRegionIsRefused) {
  // 0x200000 bytes with the header would reach into the topology image at 0x410000.
  const std::string p = image("big.bit", 0x200000);
  EXPECT_EQ(zamdiag({"-P", p, "0x210000", "1"}), -1);
  EXPECT_EQ(err_.str(),
            "image of 2097408 bytes does not fit at 0x00210000: its FLASH region ends at 0x00410000\n");
  EXPECT_TRUE(card_.requests.empty());
  EXPECT_EQ(zamdiag({"-P", p, "0x900000", "0"}), -1);
  EXPECT_TRUE(card_.requests.empty());
  // Without the header it fits exactly.
  EXPECT_EQ(zamdiag({"-P", p, "0x210000", "0"}), 0);
  EXPECT_EQ(card_.flash[0x410000], 0xFF);
}

}  // namespace
}  // namespace zamdiag::testing
