// Running a transaction-layer program: TxnTestSetup, the card mode check of these programs,
// the body, the clean-up.
#pragma once

#include <source_location>

#include "card_mode_check.h"
#include "test_run.h"

namespace zam {

struct txn_program {
  const char* test_name;
  VEXO_TEST_NUM_t (*number)();
  VEXO_STATUS_t (*body)(test_run&);  // after the card mode check; returns the run's status
};

// The card mode check of the transaction programs: a failed query is noted and the test
// goes on; a card in another mode ends it with 0x80000006.
mode_check_texts txn_mode_texts();

VEXO_STATUS_t run_txn_program(const txn_program& program, int argc, char* argv[],
                              std::source_location where = std::source_location::current());

}  // namespace zam
