// zamdiag against the lab's card: the status dump of a fresh card, FLASH programming and
// verification, an EEPROM round trip, and the next-boot mode taking effect at a power cycle
// in every view (zamdiag's -s, -m and -M, and the framework's QueryZAMMode).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "lab_fixture.h"

namespace e2e {
namespace {

class ZamdiagOnLab : public LabTest {
 protected:
  void SetUp() override { start_lab("default.station"); }

  // Runs zamdiag on the lab's ezusb-0; standard output and error together.
  std::string zamdiag(const std::string& args, int* code) {
    return capture("TZ=UTC ZAMSIM_SOCKET=" + socket_ + " " + ZAMDIAG_EXE + " " + args + " 2>&1", code);
  }

  // The card's mode as the framework's QueryZAMMode reports it.
  std::string framework_mode() {
    std::ofstream(folder_ + "/KALIXapp.ini") << "[DLL]\r\nDLLName=Pellor.dll\r\n";
    std::ofstream(folder_ + "/mode.dat") << "<?xml version=\"1.0\"?>\n<VexoDat>\n  <Test mode=\"AddIn\"/>\n"
                                         << "  <VEXOINIFilePath path=\"" << folder_ << "\"/>\n"
                                         << "  <VEXOINIFileName name=\"KALIXapp.ini\"/>\n"
                                         << "  <PCIEBaseAddress addr=\"0xE0000000\"/>\n"
                                         << "  <DUT vendorid=\"ABCD\" deviceid=\"0020\"/>\n</VexoDat>\n";
    const std::string bin = std::filesystem::path(ZAM_MODE_QUERY_EXE).parent_path().string();
    // Test programs load the driver library from the current folder.
    const std::string output = capture("cd " + bin + " && ZAMSIM_SOCKET=" + socket_ + " " + ZAM_MODE_QUERY_EXE +
                                       " -d " + folder_ + "/mode.dat 2>&1");
    // Only the last line: the driver library reports what it found before it.
    const auto start = output.rfind('\n', output.size() >= 2 ? output.size() - 2 : 0);
    return start == std::string::npos ? output : output.substr(start + 1);
  }

  void power_cycle() {
    int code = -1;
    capture(std::string(ZAMSIM_EXE) + " power-cycle-card --socket " + socket_, &code);
    ASSERT_EQ(code, 0);
  }

  // A file of the folder with a fixed modification time.
  std::string image_file(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::from_sys(
                                               std::chrono::sys_seconds(std::chrono::seconds(1765000000))));
    return path;
  }
};

TEST_F(ZamdiagOnLab, StatusDumpOfAFreshCard) {
  int code = -1;
  std::string dump = zamdiag("-s", &code);
  EXPECT_EQ(code, 0);
  // The heading carries the host's date, "Wed Dec  9 16:39:46 2026": 24 characters.
  const std::string heading = "ZAM status dump                ";
  const size_t at = dump.find(heading);
  ASSERT_NE(at, std::string::npos) << dump;
  const size_t date = at + heading.size();
  ASSERT_EQ(dump.find('\n', date), date + 24) << dump;
  dump.replace(date, 24, "<date>");
  const std::string dashes = std::string(70, '-') + "\n";
  EXPECT_EQ(dump, "\n" + dashes + "ZAM status dump                <date>\n" + dashes +
                      "Firmware version               1.2\n"
                      "DIP Switch 3/2/1               off off off\n"
                      "Current mode                   add-in card mode\n"
                      "Mode after power cycle         add-in card mode\n"
                      "Link status                    1011\n"
                      "FPGA image add-in card mode    4096 bytes, Fri Jan  1 00:00:00 2010\n"
                      "FPGA image topology mode       4096 bytes, Fri Jan  1 00:00:00 2010\n"
                      "FPGA image known endpoint mode 4096 bytes, Fri Jan  1 00:00:00 2010\n" +
                      dashes);
}

TEST_F(ZamdiagOnLab, FlashProgramVerifyAndOneFlippedByte) {
  std::vector<uint8_t> bytes(300 * 1024);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
  const std::string image = image_file("aic.bit", bytes);
  int code = -1;
  EXPECT_EQ(zamdiag("-P " + image + " 0x610000 1", &code), "erasing...\nprogramming.......done\n");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(zamdiag("-p " + image + " 0x610000 1", &code), "verifying.......done\n");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(zamdiag("-V 0x610000", &code), "307200 bytes, Sat Dec  6 05:46:40 2025\n");

  // The FLASH programmed from a copy with one byte flipped: verify names that byte.
  std::vector<uint8_t> flipped = bytes;
  flipped[0x2A5A5] ^= 0x10;
  ASSERT_EQ(zamdiag("-P " + image_file("flipped.bit", flipped) + " 0x610000 1", &code),
            "erasing...\nprogramming.......done\n");
  char expected[160];
  std::snprintf(expected, sizeof expected,
                "verifying.....\n*** image compare error at offset 0x0002a5a5 [file: %02x - flash: %02x] ..\n"
                "verify failed: 1 error\n",
                bytes[0x2A5A5], flipped[0x2A5A5]);
  EXPECT_EQ(zamdiag("-p " + image + " 0x610000 1", &code), expected);
  EXPECT_EQ(code, 255);
}

TEST_F(ZamdiagOnLab, EepromDownloadAndUploadRoundTrip) {
  std::vector<uint8_t> bytes(3000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 3);
  int code = -1;
  EXPECT_EQ(zamdiag("-L " + image_file("eeprom.bin", bytes) + " 0x200", &code), "");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(zamdiag("-l " + folder_ + "/back.bin 0x200 3000", &code), "");
  EXPECT_EQ(code, 0);
  std::ifstream in(folder_ + "/back.bin", std::ios::binary);
  EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), bytes);
  // Past the end of the 16 KiB EEPROM the upload stops at the first failed read.
  EXPECT_EQ(zamdiag("-l " + folder_ + "/end.bin 0x3C00 2048", &code),
            "ioctl failed\nEEPROM upload stopped at 0x4000: 1024 bytes not read\n");
  EXPECT_EQ(code, 255);
}

TEST_F(ZamdiagOnLab, NextBootModeTakesEffectAtThePowerCycle) {
  int code = -1;
  EXPECT_EQ(framework_mode(), "mode 0\n");
  zamdiag("-m", &code);
  EXPECT_EQ(code, 1);  // add-in card
  EXPECT_EQ(zamdiag("-M T", &code), "");
  EXPECT_EQ(code, 0);
  EXPECT_NE(zamdiag("-s", &code).find("Current mode                   add-in card mode\n"
                                      "Mode after power cycle         topology mode\n"),
            std::string::npos);

  power_cycle();
  zamdiag("-m", &code);
  EXPECT_EQ(code, 4);  // topology
  EXPECT_EQ(zamdiag("-M", &code), "TOP\n");
  EXPECT_NE(zamdiag("-s", &code).find("Current mode                   topology mode\n"
                                      "Mode after power cycle         topology mode\n"),
            std::string::npos);
  EXPECT_EQ(framework_mode(), "mode 1\n");

  EXPECT_EQ(zamdiag("-M k", &code), "");
  power_cycle();
  zamdiag("-m", &code);
  EXPECT_EQ(code, 2);  // known endpoint
  EXPECT_EQ(framework_mode(), "mode 2\n");
}

TEST_F(ZamdiagOnLab, LinkCheckAndDelayScanOnTheLabsLink) {
  int code = -1;
  EXPECT_EQ(zamdiag("-k 1", &code), "");
  EXPECT_EQ(code, 0);  // link state 0x10
  EXPECT_EQ(zamdiag("-k 0", &code), "link check: port B link state is 0x11, not 0x10\n");
  EXPECT_EQ(code, 254);  // port B shows link state 0x11, not 0x10
  // Port B shows link state 0x11, so the delay scan runs there: down to the lowest tap, up to
  // the highest, back to the start; the sample bit (0x10 here) marks the lab's 7-tap window.
  EXPECT_EQ(zamdiag("-t", &code),
            "07 80 -1 10\n06 80 -2 10\n05 80 -3 10\n04 80 -4 0\n03 80 -5 0\n02 80 -6 0\n01 80 -7 0\n"
            "00 81 -8 0\n01 80 -7 0\n02 80 -6 0\n03 80 -5 0\n04 80 -4 0\n05 80 -3 10\n06 80 -2 10\n"
            "07 80 -1 10\n08 80 0 10\n09 80 1 10\n0a 80 2 10\n0b 80 3 10\n0c 80 4 0\n0d 80 5 0\n"
            "0e 80 6 0\n0f 80 7 0\n10 81 8 0\n0f 80 7 0\n0e 80 6 0\n0d 80 5 0\n0c 80 4 0\n0b 80 3 10\n"
            "0a 80 2 10\n09 80 1 10\n08 80 0 10\n");
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace e2e
