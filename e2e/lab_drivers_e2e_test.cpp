// The driver interface library against the lab: discovery, routing, register semantics,
// card commands and the trace the card records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "lab_fixture.h"
#include "pellor/pellor.h"
#include "platform/devio.h"
#include "platform/library.h"

namespace e2e {
namespace {

class PellorOnLab : public LabTest {
 protected:
  void load_pellor() {
    testing::internal::CaptureStdout();
    library_ = platform::load_library("Pellor.dll");
    messages_ = testing::internal::GetCapturedStdout();
    ASSERT_NE(library_, nullptr) << platform::library_error();
    auto get_config = reinterpret_cast<ConfigDriver_GetInterface_fn>(platform::find_symbol(library_, "ConfigDriver_GetInterface"));
    auto get_card = reinterpret_cast<ZAM_LIB_Open_ZAM_Interface_fn>(platform::find_symbol(library_, "ZAM_LIB_Open_ZAM_Interface"));
    auto get_kep = reinterpret_cast<KEP_LIB_Open_KEP_Interface_fn>(platform::find_symbol(library_, "KEP_LIB_Open_KEP_Interface"));
    ASSERT_TRUE(get_config && get_card && get_kep);
    ASSERT_EQ(get_config(&config_), 1u);
    ASSERT_EQ(get_card(&card_), 0u);
    ASSERT_EQ(get_kep(&kep_), 0u);
  }
  void TearDown() override {
    if (library_ != nullptr) platform::unload_library(library_);
    LabTest::TearDown();
  }

  uint32_t read32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset) {
    uint32_t value = 0;
    EXPECT_EQ(config_.ReadConfig(0, bus, device, function, offset, 4, &value), 4u);
    return value;
  }

  platform::library_handle library_ = nullptr;
  std::string messages_;
  CONFIG_DRIVER_INTERFACE_t config_{};
  ZAM_LIB_INTERFACE_t* card_ = nullptr;
  KEP_LIB_INTERFACE_t* kep_ = nullptr;
};

// A program that exits with the library still loaded (a start-up that failed after the
// library opened its drivers) has the unload hook close them after the platform layer's
// static destructors ran: the exit must stay clean ("double free or corruption" before; an
// AddressSanitizer build reports the use after free).
TEST_F(PellorOnLab, AnExitWithTheLibraryStillLoadedIsClean) {
  start_lab("default.station");
  EXPECT_EXIT(
      {
        const bool loaded = platform::load_library("Pellor.dll") != nullptr;
        std::exit(loaded ? 0 : 2);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(PellorOnLab, FindsTheCardItsPortAndTheKnownEndpoint) {
  start_lab("default.station");
  load_pellor();
  EXPECT_EQ(messages_,
            "Farrow port at bdf[1,0,0] implements ZAM specification\n"
            "Known end point at bdf[8,0,0] implements ZAM specification\n"
            "Farrow port found at BDF[1,0,0] and initialized successfully\n");
  ASSERT_NE(card_->IsZamDevice, nullptr);
  EXPECT_EQ(card_->IsZamDevice(1, 0, 0), 1u);
  EXPECT_EQ(card_->IsZamDevice(3, 0, 0), 0u);
  ASSERT_NE(kep_->IsKepDevice, nullptr);
  EXPECT_EQ(kep_->IsKepDevice(8, 0, 0), 1u);

  // Every function of the station at the bus numbers the boot gave, with the script's IDs.
  struct expected { uint32_t bus, device, id; } functions[] = {
      {0, 0, 0x7A388086}, {0, 1, 0x7A398086}, {0, 2, 0x7A3A8086}, {1, 0, 0x5A011A2B}, {2, 0, 0x5A021A2B},
      {3, 0, 0x0020ABCD}, {4, 0, 0x873210B5}, {5, 0, 0x873210B5}, {5, 1, 0x873210B5}, {6, 0, 0x00411B36},
      {7, 0, 0x00421B36}, {8, 0, 0x5A301A2B}};
  for (const auto& f : functions) EXPECT_EQ(read32(f.bus, f.device, 0, 0), f.id) << f.bus << ":" << f.device;
  int present = 0;
  for (uint32_t bus = 0; bus < 16; ++bus) {
    for (uint32_t device = 0; device < 32; ++device) {
      for (uint32_t function = 0; function < 8; ++function) {
        uint16_t vendor = 0;
        if (config_.ReadConfig(0, bus, device, function, 0, 2, &vendor) == 2 && vendor != 0xFFFF) ++present;
      }
    }
  }
  EXPECT_EQ(present, 12);

  // The card's port and the card above the DUT.
  uint32_t gp[3] = {}, p[3] = {};
  uint8_t gp_copy[256], p_copy[256];
  ASSERT_EQ(card_->FindUpstreamPair(3, 0, 0, &gp[0], &gp[1], &gp[2], gp_copy, &p[0], &p[1], &p[2], p_copy), 0u);
  EXPECT_EQ(gp[0], 1u);
  EXPECT_EQ(p[0], 2u);
  EXPECT_EQ(p_copy[0x19], 3);  // the port's secondary bus holds the DUT
}

TEST_F(PellorOnLab, StationRegistersTellTheTruth) {
  start_lab("default.station");
  load_pellor();
  // Root port 2: slot implemented, slot number 2, x8 capable and trained at x8.
  uint8_t cap = 0;
  config_.ReadConfig(0, 0, 1, 0, 0x34, 1, &cap);
  uint8_t header[2];
  while (cap != 0) {
    config_.ReadConfig(0, 0, 1, 0, cap, 2, header);
    if (header[0] == 0x10) break;
    cap = header[1];
  }
  ASSERT_NE(cap, 0);
  EXPECT_EQ((read32(0, 1, 0, cap) >> 16) & 0x1F0, 0x140u);  // root port, slot implemented
  EXPECT_EQ(read32(0, 1, 0, cap + 0x14) >> 19, 2u);
  EXPECT_EQ((read32(0, 1, 0, cap + 0x0C) >> 4) & 0x3F, 8u);
  EXPECT_EQ((read32(0, 1, 0, cap + 0x10) >> 20) & 0x3F, 8u);

  // Writes obey register semantics: the ID is read-only, the parity error bit is
  // write-one-to-clear, memory decode stays as written.
  const uint32_t id = read32(3, 0, 0, 0);
  const uint32_t ones = 0xFFFFFFFF;
  EXPECT_EQ(config_.WriteConfig(0, 3, 0, 0, 0, 4, &ones), 4u);
  EXPECT_EQ(read32(3, 0, 0, 0), id);
  uint16_t status = 0;
  config_.ReadConfig(0, 3, 0, 0, 6, 2, &status);
  EXPECT_EQ(status & 0x8000, 0x8000);
  const uint16_t clear = 0x8000;
  config_.WriteConfig(0, 3, 0, 0, 6, 2, &clear);
  config_.ReadConfig(0, 3, 0, 0, 6, 2, &status);
  EXPECT_EQ(status & 0x8000, 0);
  EXPECT_EQ(status & 0x0010, 0x0010);  // capabilities list stays
}

TEST_F(PellorOnLab, CardCommandsRoundTripAndTheTraceRecordsTraffic) {
  start_lab("default.station");
  load_pellor();
  // The card is addressed through its port's bus (any function behind the Farrow port).
  uint32_t mode = 99;
  ASSERT_EQ(card_->GetMode(2, 0, 0, &mode), 0u);
  EXPECT_EQ(mode, 0u);
  ASSERT_EQ(card_->SetMode(1, 0, 0, 1), 0u);
  ASSERT_EQ(card_->GetMode(1, 0, 0, &mode), 0u);
  EXPECT_EQ(mode, 1u);
  EXPECT_EQ(card_->SetMode(3, 0, 0, 0), 0x80000000u);  // no card owns bus 3
  uint32_t config = 0;
  ASSERT_EQ(card_->GetTraceConfig(1, 0, 0, &config), 0u);
  EXPECT_EQ(config, 0x1E00u);  // after a power cycle: TLPs and DLLPs, both directions
  ASSERT_EQ(card_->SetTraceConfig(1, 0, 0, 0x1800u), 0u);  // TLPs only, upstream only
  ASSERT_EQ(card_->GetTraceConfig(1, 0, 0, &config), 0u);
  EXPECT_EQ(config, 0x1800u);
  ASSERT_EQ(card_->Arm(1, 0, 0), 0u);
  read32(3, 0, 0, 0);
  ASSERT_EQ(card_->Disarm(1, 0, 0), 0u);
  uint32_t upstream_only = 0;
  ASSERT_EQ(card_->GetTraceByteCount(1, 0, 0, &upstream_only), 0u);
  EXPECT_EQ(upstream_only, 8u + 16);  // the CplD alone
  ASSERT_EQ(card_->SetTraceConfig(1, 0, 0, 0x1E00u), 0u);

  uint8_t command[48] = {};
  command[1] = 0x01;  // NAK, count 0: never acts
  command[8] = 0x04;  // CfgRd0
  command[24] = 0x7F;
  ASSERT_EQ(card_->ProgramCommand(1, 0, 0, command), 0u);

  ASSERT_EQ(card_->Arm(1, 0, 0), 0u);
  read32(3, 0, 0, 0);  // one configuration read of the DUT
  ASSERT_EQ(card_->Disarm(1, 0, 0), 0u);
  read32(3, 0, 0, 0);  // not recorded: disarmed

  uint32_t count = 0;
  ASSERT_EQ(card_->GetTraceByteCount(1, 0, 0, &count), 0u);
  // CfgRd0 (12 bytes), Ack, CplD (16 bytes), Ack: four records with 8-byte headers.
  EXPECT_EQ(count, (8 + 12) + (8 + 8) + (8 + 16) + (8 + 8));
  std::vector<uint8_t> trace(count + 16, 0xEE);
  uint32_t wanted = count + 16;
  ASSERT_EQ(card_->ReadTrace(1, 0, 0, &wanted, trace.data()), 0u);
  ASSERT_EQ(wanted, count);
  // Header byte 1: kind 0, annotated (bit 3), sent downstream (bit 4); bytes 4-7 the time.
  const uint8_t request_header[] = {0xF1, 0x18, 3, 0};
  const uint8_t request[] = {0x04, 0, 0, 1, 0, 0};
  EXPECT_EQ(std::memcmp(trace.data(), request_header, sizeof request_header), 0);
  EXPECT_EQ(std::memcmp(trace.data() + 8, request, sizeof request), 0);
  EXPECT_EQ(trace[8 + 8], 3);    // bus 3
  EXPECT_EQ(trace[20], 0xF1);
  EXPECT_EQ(trace[21], 0x0B);    // DLLP record, annotated, upstream
  EXPECT_EQ(trace[29], 0x00);    // Ack
  EXPECT_EQ(trace[36], 0xF1);
  EXPECT_EQ(trace[38], 4);       // CplD: 4 words
  EXPECT_EQ(trace[44], 0x4A);
  EXPECT_EQ(trace[56], 0xCD);    // vendor 0xABCD, configuration byte 0 first
  EXPECT_EQ(trace[57], 0xAB);
  EXPECT_EQ(trace[60], 0xF1);
  EXPECT_EQ(trace[61], 0x1B);    // DLLP record, annotated, downstream

  // zamsim show tells a person the same story.
  const std::string shown = capture(std::string(ZAMSIM_EXE) + " show --socket " + socket_);
  EXPECT_NE(shown.find("programmed command 00 01 00 00 00 00 00 00 04"), std::string::npos) << shown;
  EXPECT_NE(shown.find("trace buffer: 76 bytes"), std::string::npos) << shown;
  // The trace decoded: the read going down, its completion and both Acks.
  EXPECT_NE(shown.find(" down CfgRd0                     requester 00:00.0 completer 03:00.0 tag "), std::string::npos)
      << shown;
  EXPECT_NE(shown.find(" up   CplD                       requester 00:00.0 completer 03:00.0 tag "), std::string::npos)
      << shown;
  EXPECT_NE(shown.find(" up   Ack                        seq "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" down Ack                        seq "), std::string::npos) << shown;
  // zamtrace reads the same trace through the card driver: a heading and the four records,
  // the lines zamsim show gives (there indented by two spaces).
  int code = -1;
  const std::string listed = capture("ZAMSIM_SOCKET=" + socket_ + " " + ZAMTRACE_EXE + " --card", &code);
  EXPECT_EQ(code, 0) << listed;
  std::istringstream lines(listed);
  std::string line;
  int listed_lines = 0;
  while (std::getline(lines, line)) {
    EXPECT_NE(shown.find("  " + line + "\n"), std::string::npos) << line;
    ++listed_lines;
  }
  EXPECT_EQ(listed_lines, 5) << listed;
  EXPECT_NE(shown.find("device under test: 03:00.0"), std::string::npos) << shown;
}

}  // namespace
}  // namespace e2e
