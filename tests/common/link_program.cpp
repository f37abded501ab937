// Running one data-link-layer program from set-up to clean-up.
#include "link_program.h"

#include <cstdio>
#include <memory>

#include "cleanup.h"
#include "program_usage.h"
#include "dat_values.h"
#include "run_trouble.h"
#include "test_setup.h"

namespace zam {

VEXO_STATUS_t run_link_program(const link_program& program, int argc, char* argv[],
                               std::source_location where) {
  if (answered_standard_option(argc, argv)) return VEXO_STATUS_SUCCESS;
  auto run = std::make_unique<test_run>();
  run->number = program.number();
  uint16_t* saved_control = program.saves_registers ? &run->saved_control : nullptr;
  uint16_t* saved_status = program.saves_registers ? &run->saved_status : nullptr;
  VEXO_STATUS_t status = LinkTestSetup(
      argc, argv, program.test_name, 0, VEXO_LOG_ACTION_CREATE, &run->framework, &run->log,
      &run->card, &run->card_port, &run->dut_find_flags, &run->dut, &run->dat, &run->number,
      run->dat_file, run->log_file, saved_control, saved_status);
  if (status != VEXO_STATUS_SUCCESS) {
    std::printf("file[%s] line[%d] LinkTestSetup() failed\n", where.file_name(),
                static_cast<int>(where.line()));
    std::fflush(stdout);
    if (run->framework != nullptr) status = check_run_trouble(*run, status);
    return clean_up(*run, false, status);
  }
  run->registers_saved = program.saves_registers;

  status = state_program_values(program, *run, argv[0]);
  if (status == VEXO_STATUS_SUCCESS && program.before_mode_check != nullptr) {
    status = program.before_mode_check(*run);
  }
  bool end = status != VEXO_STATUS_SUCCESS;
  if (!end) status = check_card_mode(*run, program.mode, &end);
  if (!end) status = run_link_sequence(program, *run);
  // Checks of a trace the drivers could not deliver would judge the lab, not the DUT.
  if (status == VEXO_STATUS_SUCCESS && !end && run_trouble().empty()) status = program.judge(*run);
  status = check_run_trouble(*run, status);
  return clean_up(*run, program.saves_registers, status);
}

VEXO_STATUS_t state_program_values(const link_program& program, test_run& run,
                                   const char* program_name) {
  static constexpr VEXO_DAT_NUMBER_t replay_count[] = {VEXO_DAT_REPLAY_COUNT};
  static constexpr VEXO_DAT_NUMBER_t dut_config[] = {VEXO_DAT_DUTCONFIG_INCR,
                                                     VEXO_DAT_DUTCONFIG_OFFSET};
  switch (program.uses) {
    case dat_use::replay_count:
      WriteToLog(run.log, VEXO_LOG_INFO, "Test parameters: ReplayCount[%d]\n",
                 static_cast<int>(run.dat.replay_count));
      return refuse_unclean_dat_numbers(run.log, &run.number, program_name, run.dat,
                                        replay_count);
    case dat_use::dut_config:
      WriteToLog(run.log, VEXO_LOG_INFO, "Test parameters: DUTConfig incr[%d] offset[0x%X]\n",
                 static_cast<int>(run.dat.increment), static_cast<unsigned int>(run.dat.offset));
      return refuse_unclean_dat_numbers(run.log, &run.number, program_name, run.dat,
                                        dut_config);
    case dat_use::none:
      break;
  }
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t replay_count_command(test_run& run, uint32_t extra, uint32_t* count) {
  const int32_t replay = run.dat.replay_count;
  if (replay < 0 || replay > 4094) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "ReplayCount[%d] in the DAT file is outside 0..4094; the card counts in 12 "
                  "bits\n",
                  replay);
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number, text);
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  *count = static_cast<uint32_t>(replay) + extra;
  return VEXO_STATUS_SUCCESS;
}

vexo_cmd_map_t matching_command(uint8_t code, uint32_t count, uint8_t header_byte0,
                                uint8_t length) {
  vexo_cmd_map_t command{};
  command.command = code;
  vexo_cmd_map_set_count(&command, count);
  command.match_value[0] = header_byte0;
  command.match_value[3] = length;
  command.match_mask[0] = 0x7F;
  command.match_mask[1] = 0x30;
  command.match_mask[2] = 0xF3;
  command.match_mask[3] = 0xFF;
  return command;
}

}  // namespace zam
