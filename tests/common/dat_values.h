// The DAT values a run rests on: stated in the log, a warning for each number the DAT file
// did not give cleanly, and a refusal to run when such a number decides the verdict.
#pragma once

#include <span>
#include <string>

#include "vexo.h"

namespace zam {

// "<ReplayCount n="three"> holds no digit, taken as 0": the element, the attribute and its
// text as written, what was wrong and the value the run would use.
std::string describe_dat_number(const VEXO_DAT_NUMBER_NOTE_t& note);

// The set-up's INFO line of the values every program runs with: how the DUT is selected
// (the first DUT entry), the configuration base address and SERR enable.
std::string common_parameters_text(const VEXO_DAT_INFO_t& dat);

// One WARNING line for every number of the DAT file that held no digit or had to be cut.
void warn_about_dat_numbers(VEXO_LOG_HANDLE_t log, const VEXO_DAT_INFO_t& dat);

// Refuses the run when one of `numbers` (of the first DUT entry, for the DUT's numbers) held
// no digit or had to be cut: an ABORT entry and the same line on standard output, and
// 0x80000003 (invalid parameter). VEXO_STATUS_SUCCESS when they all read cleanly.
VEXO_STATUS_t refuse_unclean_dat_numbers(VEXO_LOG_HANDLE_t log, VEXO_TEST_NUM_t* number,
                                         const char* program, const VEXO_DAT_INFO_t& dat,
                                         std::span<const VEXO_DAT_NUMBER_t> numbers);

// The DAT numbers that select the DUT.
inline constexpr VEXO_DAT_NUMBER_t dut_selection_numbers[] = {
    VEXO_DAT_DUT_VENDOR_ID, VEXO_DAT_DUT_DEVICE_ID, VEXO_DAT_DUT_BUS, VEXO_DAT_DUT_DEVICE,
    VEXO_DAT_DUT_FUNCTION};

// What both set-ups do once the log exists: the parameters line, the warnings, and the
// refusal of a DUT selection that did not read cleanly (0x80000003).
VEXO_STATUS_t state_dat_values(VEXO_LOG_HANDLE_t log, VEXO_TEST_NUM_t* number,
                               const char* program, const VEXO_DAT_INFO_t& dat);

}  // namespace zam
