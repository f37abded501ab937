// EEPROM download and upload, FPGA download: pieces, addresses, progress and failures.
#include "file_transfers.h"

#include "platform/output_file.h"
#include "zamdiag_fixture.h"

namespace zamdiag::testing {
namespace {

std::vector<uint8_t> pattern(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 13 + 5);
  return bytes;
}

TEST_F(ZamdiagTest, EepromDownloadAndUploadRoundTrip) {
  const auto bytes = pattern(2500);
  EXPECT_EQ(zamdiag({"-L", file("boot.bin", bytes), "0x100"}), 0);
  EXPECT_EQ(vendor_requests(), (std::vector<std::pair<uint8_t, uint32_t>>{{0xA2, 0x100}, {0xA2, 0x500}, {0xA2, 0x900}}));
  EXPECT_EQ(card_.requests[2].sent.size(), 452u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), card_.eeprom.begin() + 0x100));

  EXPECT_EQ(zamdiag({"-l", path("back.bin"), "0x100", "2500"}), 0);
  EXPECT_EQ(vendor_requests(), (std::vector<std::pair<uint8_t, uint32_t>>{{0xA2, 0x100}, {0xA2, 0x500}, {0xA2, 0x900}}));
  EXPECT_EQ(card_.requests[2].out_capacity, 452u);
  EXPECT_EQ(read_file("back.bin"), bytes);
  EXPECT_EQ(out_.str(), "");

  // Short answers advance by what came back.
  card_.short_reads[0xA2] = 1000;
  EXPECT_EQ(zamdiag({"-l", path("short.bin"), "0x100", "2500"}), 0);
  EXPECT_EQ(vendor_requests().size(), 3u);
  EXPECT_EQ(vendor_requests()[1].second, 0x100u + 1000u);
  EXPECT_EQ(read_file("short.bin"), bytes);
}

TEST_F(ZamdiagTest, EepromUploadStopsAtTheFirstFailedRead) {
  // The EEPROM ends at 16 KiB: the second read fails, and the upload ends there.
  EXPECT_EQ(zamdiag({"-l", path("up.bin"), "0x3C00", "2048"}), -1);
  EXPECT_EQ(err_.str(), "ioctl failed\nEEPROM upload stopped at 0x4000: 1024 bytes not read\n");
  EXPECT_EQ(card_.requests.size(), 2u);
  EXPECT_EQ(read_file("up.bin").size(), 1024u);

  // A read that succeeds with nothing is no progress either.
  card_.short_reads[0xA2] = 0;
  EXPECT_EQ(zamdiag({"-l", path("none.bin"), "0", "16"}), -1);
  EXPECT_EQ(card_.requests.size(), 1u);

  EXPECT_EQ(zamdiag({"-L", path("missing.bin")}), -1);
  EXPECT_EQ(err_.str(), "can't open " + path("missing.bin") + "\n");
  EXPECT_EQ(zamdiag({"-l", path("no/such/folder.bin"), "0", "1"}), -1);
  // The documented line, then the file and the system's reason.
  EXPECT_EQ(err_.str().rfind("can't open " + path("no/such/folder.bin") + "\n" + path("no/such/folder.bin") + ": ", 0),
            0u)
      << err_.str();
#ifndef _WIN32
  EXPECT_EQ(err_.str(), "can't open " + path("no/such/folder.bin") + "\n" + path("no/such/folder.bin") +
                            ": No such file or directory\n");
#endif
  EXPECT_TRUE(card_.requests.empty());

  // A failed write ends the download with a failure.
  card_.fail_when = [](const request_seen&) { return true; };
  EXPECT_EQ(zamdiag({"-L", file("x.bin", pattern(3000))}), -1);
  EXPECT_EQ(card_.requests.size(), 1u);
}

// An upload whose file does not keep the bytes fails and names the file and the reason.
TEST_F(ZamdiagTest, EepromUploadThatCannotBeKeptFails) {
#ifndef _WIN32
  EXPECT_EQ(zamdiag({"-l", "/dev/full", "0", "16"}), -1);
  EXPECT_EQ(err_.str(), "can't write /dev/full: No space left on device\n");
#endif
  struct lost_case {
    platform::file_step step;
    const char* reason;
  } const cases[] = {
      {platform::file_step::write, "No space left on device"},
      {platform::file_step::close, "Input/output error"},
  };
  for (const lost_case& c : cases) {
    platform::set_file_fault_hook([&](platform::file_step step, const std::string&) {
      return step == c.step ? std::optional<std::string>(c.reason) : std::nullopt;
    });
    EXPECT_EQ(zamdiag({"-l", path("lost.bin"), "0", "16"}), -1);
    platform::set_file_fault_hook(nullptr);
    EXPECT_EQ(err_.str(), "can't write " + path("lost.bin") + ": " + c.reason + "\n");
  }
}

TEST_F(ZamdiagTest, FpgaDownloadSendsFirstPieceWithValueZero) {
  const auto bytes = pattern(140 * 1024 + 3);
  EXPECT_EQ(zamdiag({"-A", file("aic.rbf", bytes)}), 0);
  EXPECT_EQ(out_.str(), "..done\n");
  ASSERT_EQ(card_.fpga_pieces.size(), 141u);
  EXPECT_EQ(card_.fpga_pieces[0].first, 0);
  EXPECT_EQ(card_.fpga_pieces[1].first, 1);
  EXPECT_EQ(card_.fpga_pieces[140].first, 1);
  EXPECT_EQ(card_.fpga_pieces[140].second.size(), 3u);
  std::vector<uint8_t> joined;
  for (const auto& piece : card_.fpga_pieces) joined.insert(joined.end(), piece.second.begin(), piece.second.end());
  EXPECT_EQ(joined, bytes);

  card_.fail_when = [](const request_seen& r) { return fake_ezusb::vendor_address(r) == 1; };
  EXPECT_EQ(zamdiag({"-A", file("aic.rbf", bytes)}), -1);
  EXPECT_EQ(out_.str(), "\nFPGA download failed\n");
  EXPECT_EQ(card_.requests.size(), 2u);
}

}  // namespace
}  // namespace zamdiag::testing
