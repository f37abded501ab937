// TXN_BFT_RequestCompletion_EP: the program's entry point; its exit code is the low byte of
// the run's status.
#include "common/exit_status.h"
#include "txn_programs.h"

int main(int argc, char* argv[]) {
  return zam::exit_code_of(zam::run_txn_program(TXN_BFT_RequestCompletion_EP_program(), argc, argv));
}
