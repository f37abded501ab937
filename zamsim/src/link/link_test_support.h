// A booted default station for link tests: card commands, the host's reads of the DUT,
// the trace rendered one record per line, and the DUT's error registers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "station/lab_station.h"

namespace zamsim {

class LinkStationTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Card command 12 with a command code, count, match (header byte 0 and length) and
  // parameter, the way the compliance programs fill the record.
  void program(uint8_t code, uint16_t count, uint8_t match_byte0 = 0, uint8_t match_length = 0, bool masked = true,
               uint32_t parameter = 0, uint8_t type_byte = 0);
  void card_command(uint32_t command, uint32_t argument = 0);
  uint32_t card_word(uint32_t command);
  void arm() { card_command(10); }
  void disarm() { card_command(11); }

  // One armed window around one configuration read of the DUT; the trace it recorded.
  std::vector<std::string> exchange(uint32_t* value = nullptr);
  // One configuration read of the DUT's Vendor/Device ID by the host.
  uint32_t read_dut(uint16_t offset = 0, uint8_t function = 0);
  // The DUT's own registers, read past the link.
  uint32_t dut_register(uint16_t offset);
  uint32_t correctable_status() { return dut_register(aer() + 0x10); }
  uint32_t uncorrectable_status() { return dut_register(aer() + 0x04); }
  uint16_t device_status() { return static_cast<uint16_t>(dut_register(pcie() + 0x08) >> 16); }
  uint16_t aer();
  uint16_t pcie();
  // What the compliance set-up does: error reporting enabled, SERR# enabled, status clear.
  void enable_error_reporting();

  // The trace, one line per record: "TLP 04 00 00 01 ..." or "DLLP 00 00 00 00 b3 62".
  std::vector<std::string> trace_lines();
  int count(const std::vector<std::string>& lines, const std::string& prefix);

  std::unique_ptr<lab_station> station_;
  dut_link* link_ = nullptr;
  bdf dut_;
};

}  // namespace zamsim
