// The check reports as exact main-log text, for a firmware that got everything wrong.
#include "check_reports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "card_standin.h"
#include "lattix/packet_handler.h"
#include "lattix/script_parser.h"
#include "lattix/topology.h"
#include "vexomin.h"
#include "platform/process.h"

namespace {

uint32_t wire(uint32_t register_value) {
  return (register_value >> 24) | ((register_value >> 8) & 0xFF00u) | ((register_value << 8) & 0xFF0000u) |
         (register_value << 24);
}

// A configuration write as the firmware would send it (register-order value).
void write(packetHandler& handler, uint32_t bus, uint32_t device, uint32_t offset, uint32_t value, bool type1,
           uint32_t enables = 0xF) {
  const auto request = zamlib_testing::config_write(bus, device, 0, offset, 1, wire(value), enables, type1);
  releaseCompletion(handler.handle(request.data()));
}

TEST(CheckReportsTest, EveryReportForAFaultyEnumeration) {
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* built = nullptr;
  packetHandler* handler = nullptr;
  ASSERT_TRUE(scriptParser(FWTOOL_TESTDATA_DIR "/bridge_and_endpoint.test", devices, connections, count, built,
                           handler));
  write(*handler, 0, 0, 0x18, 0x00010100, false);  // primary 0, secondary 1, subordinate 1
  write(*handler, 0, 0, 0x20, 0x90009000, false);  // memory window 0x90000000-0x900FFFFF
  write(*handler, 1, 0, 0x10, 0x80000000, true);   // both BARs at the same place, outside the window
  write(*handler, 1, 0, 0x14, 0x80000000, true);
  write(*handler, 1, 0, 0x50, 0x00000003, true, 0x1);  // ASPM L0s and L1 left on
  write(*handler, 0, 0, 0x18, 0x00000100, false);  // subordinate below secondary

  const auto path = std::filesystem::temp_directory_path() / ("fwtool_checks_" + std::to_string(platform::current_process_id()));
  std::filesystem::remove(path);
  VEXO_LOG_HANDLE_t log = nullptr;
  ASSERT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_RAW_TEXT, path.string().c_str(), 0), VEXO_STATUS_SUCCESS);
  EXPECT_TRUE(fwtool::run_checks(*handler, fwtool::run_settings{}, log));
  CloseLog(log);
  std::ostringstream text;
  {
    std::ifstream in(path);  // closed before the file is removed (Windows refuses otherwise)
    text << in.rdbuf();
  }
  std::filesystem::remove(path);

  const std::string golden = std::string(FWTOOL_TESTDATA_DIR) + "/faulty_enumeration.log";
  const char* update = std::getenv("FWTOOL_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") std::ofstream(golden) << text.str();
  std::ifstream expected_in(golden);
  std::ostringstream expected;
  expected << expected_in.rdbuf();
  EXPECT_EQ(text.str(), expected.str());

  // With every check switched off nothing is reported.
  fwtool::run_settings none;
  none.check_bar_overlap = none.check_bus_numbers = none.check_io_window = none.check_memory_window =
      none.check_prefetch_window = none.check_aspm = none.check_memory_enable = none.check_io_enable = false;
  EXPECT_FALSE(fwtool::run_checks(*handler, none, nullptr));
  delete handler;
  delete built;
}

}  // namespace
