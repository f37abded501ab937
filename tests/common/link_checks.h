// The checks the data-link-layer programs judge with, and their verdict entry.
#pragma once

#include "test_run.h"

namespace zam {

// An AER assertion utility of the framework.
using aer_assertion = VEXO_STATUS_t (*)(VEXO_DEVICE_HANDLE_t, VEXO_LOG_HANDLE_t, uint32_t,
                                        uint32_t);

// Expects the bit set and clears it; a DUT without AER passes.
bool aer_bit_set(const test_run& run, aer_assertion assertion);

// GetNumTLPMatches for completions with data (header byte 0x4A, Fmt and Type compared).
VEXO_STATUS_t count_completions(const test_run& run, unsigned int* count);

// Device Status rule "only correctable": the passing line at `pass_level`, or the failing
// line with the register's value (0 when it could not be read).
bool check_only_correctable(const test_run& run, int32_t pass_level, const char* pass_text);
// Device Status rule "no bits".
bool check_no_status_bits(const test_run& run, const char* pass_text);
// At least one ERR_COR message in the read trace.
bool check_err_cor(const test_run& run, const char* pass_text, const char* fail_text);

// The verdict entry: SUCCESS and 0, or FAILED and 0x80000006.
VEXO_STATUS_t verdict(const test_run& run, bool pass, const char* pass_text,
                      const char* fail_text);

}  // namespace zam
