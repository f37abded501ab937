// Running a transaction-layer program from set-up to clean-up.
#include "txn_program.h"

#include <cstdio>
#include <memory>

#include "cleanup.h"
#include "program_usage.h"
#include "run_trouble.h"
#include "test_setup.h"

namespace zam {

mode_check_texts txn_mode_texts() {
  mode_check_texts texts;
  texts.query_failed = info_line("::Unable to query current ZAM mode::");
  texts.query_failure_ends = false;
  texts.not_add_in = assert_line(VEXO_LOG_ABORT,
                                 "::ZAM is not in Add-in card mode::. Please set ZAM in add-in "
                                 "card mode and re-run the test");
  texts.add_in = info_line("::ZAM mode is set to add-in card::");
  texts.being_tested = assert_line(VEXO_LOG_INFO, "Assertion(s) being tested here \n");
  return texts;
}

VEXO_STATUS_t run_txn_program(const txn_program& program, int argc, char* argv[],
                              std::source_location where) {
  if (answered_standard_option(argc, argv)) return VEXO_STATUS_SUCCESS;
  auto run = std::make_unique<test_run>();
  run->number = program.number();
  VEXO_STATUS_t status =
      TxnTestSetup(argc, argv, program.test_name, 0, VEXO_LOG_ACTION_CREATE, &run->framework,
                   &run->log, &run->card, &run->card_port, &run->dut_find_flags, &run->dut,
                   &run->dat, &run->number, run->dat_file, run->log_file, &run->saved_control,
                   &run->saved_status);
  if (status != VEXO_STATUS_SUCCESS) {
    std::printf("file[%s] line[%d] LinkTestSetup() failed\n", where.file_name(),
                static_cast<int>(where.line()));
    std::fflush(stdout);
    if (run->framework != nullptr) status = check_run_trouble(*run, status);
    return clean_up(*run, false, status);
  }
  run->registers_saved = true;
  bool end = false;
  status = check_card_mode(*run, txn_mode_texts(), &end);
  if (!end) status = program.body(*run);
  status = check_run_trouble(*run, status);
  return clean_up(*run, true, status);
}

}  // namespace zam
