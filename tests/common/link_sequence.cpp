// The steps every data-link-layer program runs between the card mode check and its checks:
// trace mask, card command, arm, one configuration read of the DUT, disarm, trace read.
#include "link_program.h"
#include "run_trouble.h"

namespace zam {
namespace {

// Announces a step, runs it and writes its confirmation or failure line. Returns the call's
// status when the failure ends the test body, else 0.
// A failure because the drivers stopped answering is named right after the step's own line.
template <typename Call>
VEXO_STATUS_t step(test_run& run, const step_lines& lines, Call call) {
  emit(run, lines.start);
  const VEXO_STATUS_t status = call();
  if (status != VEXO_STATUS_SUCCESS) {
    emit(run, lines.failed);
    check_run_trouble(run, status);
    return lines.failure_ends ? status : VEXO_STATUS_SUCCESS;
  }
  emit(run, lines.done);
  return VEXO_STATUS_SUCCESS;
}

}  // namespace

VEXO_STATUS_t run_link_sequence(const link_program& program, test_run& run) {
  VEXO_STATUS_t status =
      step(run, program.mask, [&] { return SetConfigMaskTraceBuf(run.card, program.trace_mask); });
  if (status != VEXO_STATUS_SUCCESS) return status;

  vexo_cmd_map_t command{};
  status = program.build_command(run, &command);
  if (status != VEXO_STATUS_SUCCESS) return status;
  status = step(run, program.command, [&] { return ProgramZAMCmd(run.card, &command); });
  if (status != VEXO_STATUS_SUCCESS) return status;
  if (program.resume_logging) ZAMResumeLogging(run.card);

  status = step(run, program.arm, [&] { return ArmZAM(run.card, 1); });
  if (status != VEXO_STATUS_SUCCESS) return status;
  // The read's announcement may name its offset and length.
  emit(run, program.read.start, run.read_offset, run.read_length);
  step_lines read = program.read;
  read.start = no_line();
  status = step(run, read, [&] {
    unsigned int length = run.read_length;
    return ReadConfigSpace(run.dut, run.read_buffer.data(), run.read_offset, &length);
  });
  if (status != VEXO_STATUS_SUCCESS) return status;
  if (program.after_stimulus != nullptr) program.after_stimulus(run);
  status = step(run, program.disarm, [&] { return DisarmZAM(run.card); });
  if (status != VEXO_STATUS_SUCCESS) return status;

  status = step(run, program.trace_read, [&] { return ZAMGetTraceBuffer(run.card); });
  if (status != VEXO_STATUS_SUCCESS) return status;
  unsigned int* length = nullptr;
  if (program.count_trace_bytes) {
    status = step(run, program.byte_count,
                  [&] { return GetBytesInZAMTB(run.card, &run.trace_bytes); });
    if (status != VEXO_STATUS_SUCCESS) return status;
    length = &run.trace_bytes;
  }
  return step(run, program.trace_log, [&] { return LogTBContents(run.log, run.card, length); });
}

}  // namespace zam
