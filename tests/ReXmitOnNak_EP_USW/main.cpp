// ReXmitOnNak_EP_USW: the program's entry point; its exit code is the low byte of the run's status.
#include "common/exit_status.h"
#include "link_programs.h"

int main(int argc, char* argv[]) {
  return zam::exit_code_of(zam::run_link_program(ReXmitOnNak_EP_USW_program(), argc, argv));
}
