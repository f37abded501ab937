// The settings of a firmware test run and the verdict flags of one case.
#pragma once

#include <cstdint>
#include <string>

namespace fwtool {

// How completions are altered (the card's first responses as a slow or odd device's).
enum first_response : uint32_t {
  normal_response = 0,
  crs_first = 1,
  crs_all = 2,
  invalid_first = 3,
  invalid_all = 4,
  drop_first = 5,
  drop_all = 6,
};

// Verdict flags of one case.
inline constexpr uint32_t flag_failed = 0x80000000u;       // a check failed, no request, or a send failed
inline constexpr uint32_t flag_not_started = 0x40000000u;  // logging, script or driver could not start
inline constexpr uint32_t flag_read_failed = 0x20000000u;  // reading the first request failed
inline constexpr uint32_t flag_read_aborted = 0x10000000u; // a read was aborted by the card

struct run_settings {
  bool check_bar_overlap = true;
  bool check_bus_numbers = true;
  bool check_io_window = true;
  bool check_memory_window = true;
  bool check_prefetch_window = true;
  bool init_driver_each_case = true;
  bool close_driver_each_case = true;
  bool check_aspm = true;
  bool automated = false;
  bool prompt_operator = true;
  bool log_final_registers = false;
  bool check_memory_enable = true;
  bool check_io_enable = true;
  uint32_t automation_delay_ms = 0;
  uint32_t behaviour = normal_response;
  uint32_t ini_behaviour = normal_response;  // what the ini asked for, restored after a corner case
  uint32_t driver_init_timeout_ms = 30000;
  uint32_t first_request_timeout_ms = 30000;
  uint32_t traffic_stop_timeout_ms = 30000;
  uint32_t completion_send_timeout_ms = 1000;
  uint32_t first_response_delay_ms = 0;
  uint32_t log_type = 0;  // packet trace: 1 raw words, anything else decoded
  std::string script_file;
  std::string script_dir;
  std::string test_name;
};

// "Test Passed", "Test Failed" or "Test Not Run".
const char* verdict_text(uint32_t flags);
// The results list prefix of a verdict.
const char* verdict_prefix(uint32_t flags);

}  // namespace fwtool
