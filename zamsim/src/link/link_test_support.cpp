// The booted default station for link tests.
#include "link/link_test_support.h"

#include <cstdio>
#include <cstring>

#include "base/lattix_hierarchy.h"

namespace zamsim {

void LinkStationTest::start(const std::string& faults) {
  std::string error;
  auto config = load_station(std::string(ZAMSIM_STATIONS) + "/default.station", error);
  ASSERT_TRUE(config) << error;
  ASSERT_TRUE(parse_dut_faults(faults, config->faults, error)) << error;
  station_.reset();
  auto tree = make_lattix_hierarchy(config->topology_path, error);
  ASSERT_TRUE(tree) << error;
  station_ = std::make_unique<lab_station>(*config, std::move(tree));
  ASSERT_TRUE(station_->boot(error)) << error;
  link_ = station_->link();
  ASSERT_NE(link_, nullptr);
  dut_ = *station_->roles().dut;
}

void LinkStationTest::card_command(uint32_t command, uint32_t argument) {
  uint8_t packet[56] = {};
  std::memcpy(packet, &command, 4);
  std::memcpy(packet + 4, &argument, 4);
  uint32_t returned = 0;
  ASSERT_EQ(station_->card().serve(packet, 56, packet, 56, returned), 0u);
}

uint32_t LinkStationTest::card_word(uint32_t command) {
  uint8_t packet[56] = {};
  std::memcpy(packet, &command, 4);
  uint32_t returned = 0;
  EXPECT_EQ(station_->card().serve(packet, 56, packet, 56, returned), 0u);
  uint32_t word;
  std::memcpy(&word, packet + 4, 4);
  return word;
}

void LinkStationTest::program(uint8_t code, uint16_t count, uint8_t match_byte0, uint8_t match_length, bool masked,
                              uint32_t parameter, uint8_t type_byte) {
  uint8_t packet[56] = {};
  packet[0] = 12;
  uint8_t* record = packet + 4;
  record[1] = code;
  record[6] = static_cast<uint8_t>((count >> 8) & 0x0F);
  record[7] = static_cast<uint8_t>(count);
  record[8] = type_byte != 0 ? type_byte : match_byte0;
  record[11] = match_length;
  if (masked) {
    record[24] = 0x7F;
    record[25] = 0x30;
    record[26] = 0xF3;
    record[27] = 0xFF;
  }
  std::memcpy(record + 40, &parameter, 4);
  record[44] = code >= 0x20 && code <= 0x22 ? 0xFF : 0;
  uint32_t returned = 0;
  ASSERT_EQ(station_->card().serve(packet, 56, packet, 56, returned), 0u);
}

uint32_t LinkStationTest::read_dut(uint16_t offset, uint8_t function) {
  uint8_t bytes[4];
  station_->host_read(bdf{dut_.bus, 0, function}, offset, 4, bytes);
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

std::vector<std::string> LinkStationTest::exchange(uint32_t* value) {
  arm();
  const uint32_t read = read_dut();
  disarm();
  if (value != nullptr) *value = read;
  return trace_lines();
}

uint32_t LinkStationTest::dut_register(uint16_t offset) {
  uint32_t value = 0;
  station_->tree().read_dword(dut_, offset, value);
  return value;
}

uint16_t LinkStationTest::pcie() { return station_->tree().pcie_capability(station_->config().dut_device); }

uint16_t LinkStationTest::aer() { return 0x100; }  // where the default station's DUT has it

void LinkStationTest::enable_error_reporting() {
  uint8_t control[2];
  station_->host_read(dut_, pcie() + 0x08, 2, control);
  control[0] |= 0x0F;
  station_->host_write(dut_, pcie() + 0x08, 2, control);
  const uint8_t clear_status[2] = {0x0F, 0};
  station_->host_write(dut_, pcie() + 0x0A, 2, clear_status);
  uint8_t command[2];
  station_->host_read(dut_, 0x04, 2, command);
  command[1] |= 0x01;  // SERR# Enable
  station_->host_write(dut_, 0x04, 2, command);
  const uint8_t all_ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  station_->host_write(dut_, aer() + 0x04, 4, all_ones);
  station_->host_write(dut_, aer() + 0x10, 4, all_ones);
}

std::vector<std::string> LinkStationTest::trace_lines() {
  const std::vector<uint8_t> bytes = station_->card().trace().bytes();
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at + 8 <= bytes.size() && bytes[at] == 0xF1) {
    const uint8_t kind = bytes[at + 1] & 7;
    const std::size_t payload = kind == 3 ? 8 : std::size_t{4} * (bytes[at + 2] | bytes[at + 3] << 8);
    if (at + 8 + payload > bytes.size()) break;
    std::string line = kind == 3 ? "DLLP" : "TLP ";
    const std::size_t first = kind == 3 ? 1 : 0, last = kind == 3 ? 7 : payload;
    for (std::size_t i = first; i < last; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02x", bytes[at + 8 + i]);
      line += hex;
    }
    lines.push_back(line);
    at += 8 + payload;
  }
  return lines;
}

int LinkStationTest::count(const std::vector<std::string>& lines, const std::string& prefix) {
  int n = 0;
  for (const auto& line : lines) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return n;
}

}  // namespace zamsim
