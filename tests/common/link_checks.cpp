// The checks the data-link-layer programs judge with, and their verdict entry.
#include "link_checks.h"

#include "shared_routines.h"

namespace zam {
namespace {

constexpr uint16_t correctable_detected = 0x0001;
constexpr uint16_t error_detected_bits = 0x000F;

}  // namespace

bool aer_bit_set(const test_run& run, aer_assertion assertion) {
  const VEXO_STATUS_t result =
      assertion(run.dut, run.log, VEXO_ADVERR_EXPECT_SET, 1);
  return result == VEXO_STATUS_SUCCESS || result == VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
}

VEXO_STATUS_t count_completions(const test_run& run, unsigned int* count) {
  const uint8_t completion_with_data[4] = {0x4A, 0, 0, 0};
  *count = 0;
  return GetNumTLPMatches(run.card, completion_with_data, VEXO_TLP_MATCH_FMT | VEXO_TLP_MATCH_TYPE,
                          count);
}

namespace {

// The DUT's Device Status error bits; false when the register could not be read.
bool read_error_bits(const test_run& run, uint16_t* value) {
  *value = 0;
  uint16_t copy = 0;
  return ReadDutDeviceStatus(run.dut, run.log, value, &copy) == VEXO_STATUS_SUCCESS;
}

}  // namespace

bool check_only_correctable(const test_run& run, int32_t pass_level, const char* pass_text) {
  uint16_t value = 0;
  const bool pass =
      read_error_bits(run, &value) && (value & error_detected_bits) == correctable_detected;
  if (pass) {
    write_text(run.log, pass_level, pass_text);
  } else {
    emit(run,
         failed_line("Expecting only CorrectableErrorDetected bit to be set. \t\tValue of Device "
                     "Status Register(16-bit)[0x%x] for DUT\n"),
         value);
  }
  return pass;
}

bool check_no_status_bits(const test_run& run, const char* pass_text) {
  uint16_t value = 0;
  const bool pass = read_error_bits(run, &value) && (value & error_detected_bits) == 0;
  if (pass) {
    write_text(run.log, VEXO_LOG_SUCCESS, pass_text);
  } else {
    emit(run,
         failed_line(
             "Expected no bits to be set in the Device Status Register. Value (16-bit)[0x%x]\n"),
         value);
  }
  return pass;
}

bool check_err_cor(const test_run& run, const char* pass_text, const char* fail_text) {
  unsigned int count = 0;
  CountErrCorMessages(run.card, &count);
  const bool pass = count >= 1;
  write_text(run.log, pass ? VEXO_LOG_SUCCESS : VEXO_LOG_FAIL, pass ? pass_text : fail_text);
  return pass;
}

VEXO_STATUS_t verdict(const test_run& run, bool pass, const char* pass_text,
                      const char* fail_text) {
  LogAssert(run.log, pass ? VEXO_LOG_SUCCESS : VEXO_LOG_FAIL, &run.number,
            pass ? pass_text : fail_text);
  return pass ? VEXO_STATUS_SUCCESS : verdict_failed;
}

}  // namespace zam
