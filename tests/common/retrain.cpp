// The retrain programs' wait for the card's downstream port and their checks.
#include "retrain.h"

#include <cstdio>

#include "link_checks.h"
#include "platform/clock.h"
#include "progress_lines.h"
#include "run_trouble.h"

namespace zam {
namespace {

constexpr uint32_t settle_ms = 1000;
constexpr uint32_t poll_limit_ms = 10000;
constexpr uint32_t poll_interval_ms = 1;

}  // namespace

void wait_for_card_port(test_run& run, int milliseconds) {
  if (VEXO_WaitForDeviceToRetrain(run.card_port, milliseconds) != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_FAIL, &run.number, "Retraining . Down port of the ZAM");
    run.retrained = false;
    check_run_trouble(run, VEXO_STATUS_SUCCESS);  // the port, or the drivers that stopped answering
  } else {
    write_text(run.log, VEXO_LOG_SUCCESS, "ZAM Down port retraining DONE");
  }
  platform::sleep_ms(settle_ms);
}

void poll_action_count(test_run& run) {
  unsigned int value = 4;
  const uint32_t started = platform::tick_ms();
  const double limit_ms = poll_limit_ms * platform::time_scale();
  uint32_t polls = 0;
  while (value != 0) {
    if (polls >= poll_limit_ms / poll_interval_ms ||
        static_cast<double>(platform::tick_ms() - started) > limit_ms) {
      write_text(run.log, VEXO_LOG_FAIL,
                 "Action count of the ZAM did not reach 0 within 10 seconds; going on\n");
      break;
    }
    platform::sleep_ms(poll_interval_ms);
    ++polls;
    if (VEXO_ZAM_GetActionCount(run.card, &value) != VEXO_STATUS_SUCCESS) {
      write_text(run.log, VEXO_LOG_FAIL, "Failed in retreiving action count from ZAM");
      break;
    }
  }
  std::printf("Action Count value = %d \n", static_cast<int>(value));
  std::fflush(stdout);
  wait_for_card_port(run, 1);
}

VEXO_STATUS_t judge_retrain(test_run& run, bool error_checks) {
  bool pass = aer_bit_set(run, VEXO_ADVERR_Util_AssertReplayNumberRolloverStatus);
  const unsigned int expected = static_cast<unsigned int>(run.dat.replay_count) + 2;
  unsigned int found = 0;
  if (count_completions(run, &found) != VEXO_STATUS_SUCCESS) {
    write_text(run.log, VEXO_LOG_FAIL, "GetNumTLPMatches() returned none \n");
    pass = false;
  } else if (found >= expected) {
    emit(run, success_line("[%d] Completion TLPs from DUT found\n"), found);
  } else {
    emit(run, failed_line("Expecting [%d] Completion TLPs. Found [%d] in trace buffer\n"),
         expected, found);
    pass = false;
  }
  pass = run.retrained && pass;
  if (error_checks) {
    pass = check_err_cor(run, "LinkRetrainOnRetryFail. DUT sent an ERR_COR message as expected.\n",
                         "LinkRetrainOnRetryFail. Expecting to see at least one ERR_COR message. "
                         "Found none. \n") &&
           pass;
    pass = check_only_correctable(run, VEXO_LOG_SUCCESS,
                                  "As expected Only correctable Error detected bit has been set "
                                  "in device status register for DUT\n") &&
           pass;
  }
  return verdict(run, pass, "LinkRetrainOnRetryFail_EP_USWW - PASS \n",
                 "LinkRetrainOnRetryFail_EP_USWW - FAIL \n");
}

}  // namespace zam

namespace zam {
namespace {

VEXO_TEST_NUM_t retrain_number() {
  return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "2", "2", "0");
}

}  // namespace

link_program retrain_program(VEXO_STATUS_t (*build_command)(test_run&, vexo_cmd_map_t*),
                             void (*after_stimulus)(test_run&), VEXO_STATUS_t (*judge)(test_run&),
                             bool saves_registers) {
  return link_program{
      .test_name = "LinkRetrainOnRetryFail_EP_USW",
      .number = retrain_number,
      .mode = {},
      .trace_mask = 0x1530,
      .build_command = build_command,
      .resume_logging = true,
      .mask = progress::failing(progress::mask,
                                assert_line(VEXO_LOG_ABORT, "FAIL - SetConfigMaskTraceBuf()\n")),
      .command = progress::failing(
          progress::command, assert_line(VEXO_LOG_ABORT, "FAIL - ProgramZAMCmd() - CORRUPT_LCRC \n")),
      .arm = progress::failing(progress::arm, assert_line(VEXO_LOG_ABORT, "FAIL - ArmZAM() \n")),
      .read = progress::failing(progress::read,
                                assert_line(VEXO_LOG_ABORT, "FAIL - ReadConfigSpace() of DUT \n")),
      .disarm = progress::failing(progress::disarm,
                                  assert_line(VEXO_LOG_ABORT, "FAIL - DisarmZAM() \n")),
      .trace_read = progress::failing(progress::trace, failed_line("Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = true,
      .byte_count =
          progress::only_failure(failed_line("Putting ZAM Trace Buffer Data into Logfile\n")),
      .trace_log = progress::only_failure(assert_line(VEXO_LOG_ABORT, "FAIL - LogTBContents() \n")),
      .before_mode_check = nullptr,
      .after_stimulus = after_stimulus,
      .judge = judge,
      .saves_registers = saves_registers,
      .uses = dat_use::replay_count,
  };
}

}  // namespace zam
