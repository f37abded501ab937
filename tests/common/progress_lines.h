// The progress lines of the data-link-layer programs' steps, in the variants they use.
#pragma once

#include "link_program.h"

namespace zam::progress {

// The announcement and confirmation most programs write.
inline constexpr step_lines mask = lines(info_line("START - Programming ZAM with trace buffer mask\n"),
                                 success_line("Programmed ZAM trace buffer mask\n"));
inline constexpr step_lines command = lines(info_line("START - Programming ZAM with command\n"),
                                    success_line("Programming ZAM with command\n"));
inline constexpr step_lines arm = lines(info_line("START - ARMing ZAM\n"), success_line("ARMing ZAM\n"));
inline constexpr step_lines read = lines(info_line("START - Reading VendorID and DeviceID\n"),
                                 success_line("Reading DUT Config space\n"));
inline constexpr step_lines disarm = lines(info_line("START - DISARMing ZAM\n"),
                                   success_line("DISARMing ZAM\n"));
inline constexpr step_lines trace = lines(info_line("START - Reading ZAM Trace Buffer\n"),
                                  success_line("Reading ZAM Trace Buffer\n"));

// The "START: " variants.
inline constexpr step_lines colon_mask = lines(info_line("START: Programming ZAM with trace buffer mask\n"),
                                       mask.done);
inline constexpr step_lines colon_command = lines(info_line("START: Programming ZAM with command\n"),
                                          command.done);
inline constexpr step_lines colon_arm = lines(info_line("START: ARMing ZAM\n"), arm.done);
inline constexpr step_lines colon_disarm = lines(info_line("START: DISARMing ZAM\n"), disarm.done);
inline constexpr step_lines colon_trace = lines(info_line("START : Reading ZAM Trace Buffer\n"), trace.done);
// Its arguments are the read's offset and length.
inline constexpr step_lines offset_read = lines(
    info_line("START: Reading DUT Config Space at offset[%d] length[%d]\n"), read.done);

// The same lines with a step's failure line.
constexpr step_lines failing(step_lines lines, log_line failed, bool failure_ends = true) {
  lines.failed = failed;
  lines.failure_ends = failure_ends;
  return lines;
}
constexpr step_lines only_failure(log_line failed, bool failure_ends = true) {
  return failing(step_lines(), failed, failure_ends);
}

}  // namespace zam::progress
