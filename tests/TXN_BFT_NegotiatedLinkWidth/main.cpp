// TXN_BFT_NegotiatedLinkWidth: the program's entry point; its exit code is the low byte of
// the run's status.
#include "TXN_BFT_NegotiatedLinkWidth.h"
#include "common/exit_status.h"

int main(int argc, char* argv[]) {
  return zam::exit_code_of(run_negotiated_link_width(argc, argv));
}
