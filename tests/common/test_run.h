// The state one compliance test run owns, and the log lines its steps write.
#pragma once

#include <cstdint>
#include <vector>

#include "vexo.h"

namespace zam {

inline constexpr int file_name_size = 1000;
inline constexpr VEXO_STATUS_t verdict_failed = 0x80000006;  // VEXO_STATUS_FAILED

// Everything a program holds from set-up to clean-up; handles are NULL until made.
struct test_run {
  VEXO_HANDLE_t framework = nullptr;
  VEXO_LOG_HANDLE_t log = nullptr;
  VEXO_DEVICE_HANDLE_t dut = nullptr;
  VEXO_DEVICE_HANDLE_t card = nullptr;
  VEXO_DEVICE_HANDLE_t card_port = nullptr;
  uint32_t dut_find_flags = 0;
  VEXO_DAT_INFO_t dat{};
  VEXO_TEST_NUM_t number{};
  char dat_file[file_name_size] = {};
  char log_file[file_name_size] = {};
  uint16_t saved_control = 0;
  uint16_t saved_status = 0;
  bool registers_saved = false;  // the set-up saved Device Control and Status: restore them
  bool trouble_reported = false;  // the entry of a run that cannot be judged is written

  // The stimulus: a configuration read of the DUT.
  uint32_t read_offset = 0;
  uint32_t read_length = 4;
  std::vector<uint8_t> read_buffer = std::vector<uint8_t>(4096);
  uint32_t trace_bytes = 0;
  bool retrained = true;  // the retrain programs' link check
};

// The assertion identifier: category and four short decimal parts, identifier field empty.
VEXO_TEST_NUM_t make_test_number(uint32_t category, const char* part1, const char* part2,
                                 const char* part3, const char* part4);

// One line a step writes: nothing, a WriteToLog entry or a LogAssert entry, at a level.
struct log_line {
  enum class kind { none, write, assertion };
  kind what = kind::none;
  int32_t level = 0;
  const char* text = nullptr;
};

constexpr log_line no_line() { return {}; }
constexpr log_line write_line(int32_t level, const char* text) {
  return {log_line::kind::write, level, text};
}
constexpr log_line assert_line(int32_t level, const char* text) {
  return {log_line::kind::assertion, level, text};
}
constexpr log_line info_line(const char* text) { return write_line(VEXO_LOG_INFO, text); }
constexpr log_line success_line(const char* text) { return write_line(VEXO_LOG_SUCCESS, text); }
constexpr log_line failed_line(const char* text) { return write_line(VEXO_LOG_FAIL, text); }

// Writes the line (its text a printf format for the arguments) into the run's log.
void emit(const test_run& run, const log_line& line, ...);

// A WriteToLog entry of an already formatted text (written as "%s", so '%' stays literal).
void write_text(VEXO_LOG_HANDLE_t log, int32_t level, const char* text);

}  // namespace zam
