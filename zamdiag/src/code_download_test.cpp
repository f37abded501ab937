// Intel Hex and boot image downloads: records written, faults that stop them, the reset.
#include "code_download.h"

#include "zamdiag_fixture.h"

namespace zamdiag::testing {
namespace {

// One Intel Hex record with a correct checksum.
std::string hex_record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data) {
  char text[16];
  std::snprintf(text, sizeof text, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
  std::string record = text;
  uint8_t sum = static_cast<uint8_t>(data.size() + (address >> 8) + (address & 0xFF) + type);
  for (uint8_t byte : data) {
    std::snprintf(text, sizeof text, "%02X", byte);
    record += text;
    sum = static_cast<uint8_t>(sum + byte);
  }
  std::snprintf(text, sizeof text, "%02X\r\n", static_cast<uint8_t>(-sum));
  return record + text;
}

std::vector<uint8_t> counting(std::size_t n, uint8_t from = 0) {
  std::vector<uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(from + i);
  return bytes;
}

TEST_F(ZamdiagTest, IntelHexWritesRamAndXdataBetweenResetHoldAndRelease) {
  const std::string text = hex_record(0x0000, 0, {0x02, 0x01, 0x00}) + hex_record(0x2100, 0, {0xAA, 0xBB}) +
                           hex_record(0x0000, 4, {0x00, 0x00}) + hex_record(0x0000, 1, {});
  EXPECT_EQ(zamdiag({"-H", text_file("fw.hex", text)}), 0);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "");
  ASSERT_EQ(card_.requests.size(), 4u);
  EXPECT_EQ(card_.requests[0].code, 0x222014u);
  EXPECT_EQ(card_.requests[0].in, (std::vector<uint8_t>{0xA0, 0, 0x00, 0xE6, 0, 0, 1, 0, 0, 1}));
  EXPECT_EQ(card_.requests[1].code, 0x22206Du);
  EXPECT_EQ(card_.requests[1].in, (std::vector<uint8_t>{0x00, 0x00}));
  EXPECT_EQ(card_.requests[1].sent, (std::vector<uint8_t>{0x02, 0x01, 0x00}));
  EXPECT_EQ(card_.requests[2].in, (std::vector<uint8_t>{0, 2, 0, 0, 0xA3, 0, 0x00, 0x21, 0, 0}));
  EXPECT_EQ(card_.requests[2].sent, (std::vector<uint8_t>{0xAA, 0xBB}));
  EXPECT_EQ(card_.requests[3].in, (std::vector<uint8_t>{0xA0, 0, 0x00, 0xE6, 0, 0, 1, 0, 0, 0}));
  EXPECT_FALSE(card_.cpu_held);
}

TEST_F(ZamdiagTest, IntelHexStopsAtTheFirstBadRecordAndReleasesTheReset) {
  // The third record has 32 data bytes.
  const std::string too_long = hex_record(0x0000, 0, counting(16)) + hex_record(0x0010, 0, counting(16, 16)) +
                               hex_record(0x0020, 0, counting(32)) + hex_record(0x0040, 0, counting(4));
  EXPECT_EQ(zamdiag({"-H", text_file("long.hex", too_long)}), -1);
  EXPECT_EQ(err_.str(), "Error: Hex Record 3 exceeds max record length\n");
  ASSERT_EQ(card_.ram_writes.size(), 2u);
  EXPECT_EQ(card_.ram_writes[1], (std::pair<uint16_t, std::vector<uint8_t>>{0x0010, counting(16, 16)}));
  EXPECT_EQ(card_.reset_log, (std::vector<uint8_t>{1, 0}));

  // A wrong checksum stops like a record-length error.
  std::string bad_sum = hex_record(0x0000, 0, {1, 2}) + hex_record(0x0002, 0, {3, 4});
  char& digit = bad_sum[bad_sum.size() - 4];
  digit = digit == '0' ? '1' : '0';
  card_.ram_writes.clear();
  card_.reset_log.clear();
  EXPECT_EQ(zamdiag({"-H", text_file("sum.hex", bad_sum)}), -1);
  EXPECT_EQ(err_.str(), "Error: Hex Record 2 has a wrong checksum\n");
  EXPECT_EQ(card_.ram_writes.size(), 1u);
  EXPECT_EQ(card_.reset_log, (std::vector<uint8_t>{1, 0}));

  // A record cut off at the end of the file, and one with a bad digit.
  const std::string whole = hex_record(0x0000, 0, {1, 2, 3, 4});
  EXPECT_EQ(zamdiag({"-H", text_file("cut.hex", whole.substr(0, 14))}), -1);
  EXPECT_EQ(err_.str(), "Error: Hex Record 1 is truncated or not hexadecimal\n");
  EXPECT_EQ(zamdiag({"-H", text_file("digit.hex", ":0G000000F0\n")}), -1);
  EXPECT_EQ(err_.str(), "Error: Hex Record 1 is truncated or not hexadecimal\n");

  EXPECT_EQ(zamdiag({"-H", path("missing.hex")}), -1);
  EXPECT_EQ(err_.str(), "can't open " + path("missing.hex") + "\n");
  EXPECT_TRUE(card_.requests.empty());
}

TEST_F(ZamdiagTest, IntelHexReadsAtMost64KiBAndNeverPastTheText) {
  // Exactly 65536 bytes: records, then padding of newlines, the last record cut by the end.
  std::string text;
  for (uint16_t a = 0; a < 0x100; a += 16) text += hex_record(a, 0, counting(16));
  const std::string last = hex_record(0x100, 0, counting(16));
  text += std::string(65536 - text.size() - 20, '\n');
  text += last.substr(0, 20);
  ASSERT_EQ(text.size(), 65536u);
  EXPECT_EQ(zamdiag({"-H", text_file("full.hex", text)}), -1);
  EXPECT_EQ(card_.ram_writes.size(), 16u);
  EXPECT_EQ(err_.str(), "Error: Hex Record 17 is truncated or not hexadecimal\n");

  // A longer file would lose its end: it is refused whole, even when the cut falls
  // between records, and the card is not touched.
  text.resize(65536 - 20, '\n');
  text += std::string(20, '\n') + hex_record(0x200, 0, {1}) + hex_record(0, 1, {});
  card_.ram_writes.clear();
  EXPECT_EQ(zamdiag({"-H", text_file("long.hex", text)}), -1);
  EXPECT_EQ(err_.str(), path("long.hex") + " is larger than 65536 bytes\n");
  EXPECT_TRUE(card_.requests.empty());
}

TEST_F(ZamdiagTest, FailedRecordWritesStopTheDownload) {
  card_.fail_when = [](const request_seen& r) { return r.code == 0x22206D; };
  const std::string end = hex_record(0, 1, {});
  EXPECT_EQ(zamdiag({"-H", text_file("a.hex", hex_record(0, 0, {1}) + hex_record(1, 0, {2}) + end)}), -1);
  EXPECT_EQ(err_.str(), "ioctl error\n");
  EXPECT_EQ(card_.reset_log, (std::vector<uint8_t>{1, 0}));
  card_.fail_when = [](const request_seen& r) { return fake_ezusb::vendor_code(r) == 0xA3; };
  EXPECT_EQ(zamdiag({"-H", text_file("b.hex", hex_record(0x3000, 0, {1}) + end)}), -1);
  EXPECT_EQ(err_.str(), "Vendor Request failed\n");
  card_.fail_when = [](const request_seen& r) { return r.code == 0x222014; };
  EXPECT_EQ(zamdiag({"-H", text_file("c.hex", hex_record(0, 0, {1}) + end)}), -1);
  EXPECT_EQ(err_.str(), "Reset Failed\n");
  EXPECT_EQ(card_.requests.size(), 1u);  // nothing written while the CPU may be running
}

// A boot image: 0xC2 header, then records.
std::vector<uint8_t> boot_image(const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& records,
                                bool with_end = true) {
  std::vector<uint8_t> bytes = {0xC2, 0xB4, 0x04, 0x13, 0x86, 0x00, 0x00, 0x00};
  for (const auto& [address, data] : records) {
    const auto length = static_cast<uint16_t>(data.size());
    bytes.insert(bytes.end(), {static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length),
                               static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)});
    bytes.insert(bytes.end(), data.begin(), data.end());
  }
  if (with_end) bytes.insert(bytes.end(), {0x80, 0x01, 0xE6, 0x00, 0x00});
  return bytes;
}

TEST_F(ZamdiagTest, BootImageRecordsGoInPiecesOfAtMost255Bytes) {
  const auto big = counting(600);
  EXPECT_EQ(zamdiag({"-R", file("boot.iic", boot_image({{0x0100, big}, {0x2000, {7, 8}}}))}), 0);
  EXPECT_EQ(err_.str(), "");
  ASSERT_EQ(card_.ram_writes.size(), 3u);
  EXPECT_EQ(card_.ram_writes[0].first, 0x0100);
  EXPECT_EQ(card_.ram_writes[0].second, std::vector<uint8_t>(big.begin(), big.begin() + 255));
  EXPECT_EQ(card_.ram_writes[1].first, 0x01FF);
  EXPECT_EQ(card_.ram_writes[1].second, std::vector<uint8_t>(big.begin() + 255, big.begin() + 510));
  EXPECT_EQ(card_.ram_writes[2].first, 0x02FE);
  EXPECT_EQ(card_.ram_writes[2].second, std::vector<uint8_t>(big.begin() + 510, big.end()));
  EXPECT_EQ(card_.xdata[0x2001], 8);
  EXPECT_EQ(card_.reset_log, (std::vector<uint8_t>{1, 0}));

  // Without a file the reset is only pulsed.
  card_.reset_log.clear();
  EXPECT_EQ(zamdiag({"-R"}), 0);
  EXPECT_EQ(card_.reset_log, (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(card_.requests.size(), 2u);
}

TEST_F(ZamdiagTest, BootImagesThatAreNotWholeSayInvalidFileFormat) {
  auto cut = boot_image({{0x0000, counting(40)}}, false);
  cut.erase(cut.end() - 10, cut.end());
  auto head_cut = boot_image({{0x0000, {1}}}, false);
  head_cut.insert(head_cut.end(), {0x00, 0x02});
  auto wrong = boot_image({{0x0000, {1}}});
  wrong[0] = 0xC0;
  for (const auto& [name, bytes] : {std::pair{"cut.iic", cut}, {"head.iic", head_cut}, {"wrong.iic", wrong},
                                    {"short.iic", std::vector<uint8_t>{0xC2, 0, 0}}}) {
    card_.ram_writes.clear();
    card_.reset_log.clear();
    EXPECT_EQ(zamdiag({"-R", file(name, bytes)}), -1) << name;
    EXPECT_EQ(err_.str(), "invalid file format\n") << name;
    EXPECT_EQ(card_.reset_log, (std::vector<uint8_t>{1, 0})) << name;
  }
  // Nothing of a record cut off is written; whole records before it are.
  EXPECT_TRUE(card_.ram_writes.empty());
  EXPECT_EQ(zamdiag({"-R", file("head2.iic", head_cut)}), -1);
  EXPECT_EQ(card_.ram_writes.size(), 1u);
  EXPECT_EQ(zamdiag({"-R", path("none.iic")}), -1);
  EXPECT_EQ(err_.str(), "can't open " + path("none.iic") + "\n");
}

TEST_F(ZamdiagTest, CodeFilesThatHoldNothingToRunOrAreNotWholeAreRefusedBeforeTheCard) {
  const std::string records = hex_record(0x0000, 0, {1, 2}) + hex_record(0x0002, 0, {3});
  const std::string end = hex_record(0x0000, 1, {});
  const struct {
    const char* option;
    std::string name;
    std::vector<uint8_t> bytes;
    std::string message;
  } refused[] = {
      {"-H", "empty.hex", {}, "Error: " + path("empty.hex") + " holds no Intel Hex record\n"},
      {"-H", "words.hex", {'n', 'o', '\n'}, "Error: " + path("words.hex") + " holds no Intel Hex record\n"},
      {"-H", "cut.hex", std::vector<uint8_t>(records.begin(), records.end()),
       "Error: " + path("cut.hex") + " does not end with an end record (:00000001FF); the file is not whole\n"},
      {"-H", "after_end.hex", [&] { const std::string t = records + end + records; return std::vector<uint8_t>(t.begin(), t.end()); }(),
       "Error: " + path("after_end.hex") + " does not end with an end record (:00000001FF); the file is not whole\n"},
      {"-R", "header_only.iic", boot_image({}, false), "Error: " + path("header_only.iic") + " holds no boot record\n"},
      {"-R", "end_only.iic", boot_image({}, true), "Error: " + path("end_only.iic") + " holds no boot record\n"},
      {"-R", "big.iic", [] { auto b = boot_image({{0, counting(200)}}); b.resize(65537); return b; }(),
       path("big.iic") + " is larger than 65536 bytes\n"},
  };
  for (const auto& input : refused) {
    EXPECT_EQ(zamdiag({input.option, file(input.name, input.bytes)}), -1) << input.name;
    EXPECT_EQ(err_.str(), input.message) << input.name;
    EXPECT_TRUE(card_.requests.empty()) << input.name;
  }
  // A folder or a device is no code file, for every option that sends a file.
  std::filesystem::create_directory(path("folder"));
  std::vector<std::string> not_files = {"folder"};
#ifndef _WIN32
  std::filesystem::create_symlink("/dev/zero", path("zero"));
  not_files.push_back("zero");
#endif
  for (const std::string& name : not_files) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-H", path(name)}, {"-R", path(name)},
                                                  {"-A", path(name)}, {"-L", path(name), "0"}}) {
      EXPECT_EQ(zamdiag(args), -1) << args[0] << " " << name;
      EXPECT_EQ(err_.str(), path(name) + " is not a regular file\n") << args[0] << " " << name;
      EXPECT_TRUE(card_.requests.empty()) << args[0] << " " << name;
    }
  }
  // An empty file gives the options that send a file's bytes nothing to send.
  const std::string empty = file("empty.bin", {});
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-A", empty}, {"-L", empty, "0"}, {"-P", empty, "0x210000", "1"},
        {"-p", empty, "0x210000", "0"}}) {
    EXPECT_EQ(zamdiag(args), -1) << args[0];
    EXPECT_EQ(err_.str(), empty + " is empty: nothing to send\n") << args[0];
    EXPECT_EQ(out_.str(), "") << args[0];
    EXPECT_TRUE(card_.requests.empty()) << args[0];
  }
  // The end record may be followed by blank lines; the whole file then downloads.
  EXPECT_EQ(zamdiag({"-H", text_file("whole.hex", records + end + "\r\n\r\n")}), 0);
  EXPECT_EQ(card_.ram_writes.size(), 2u);
}

}  // namespace
}  // namespace zamdiag::testing
