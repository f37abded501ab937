// The fixed clean-up at the end of every compliance test.
#include "cleanup.h"

#include <cstdio>
#include <cstdlib>

#include "shared_routines.h"

namespace zam {

void close_device_and_parent(VEXO_DEVICE_HANDLE_t& dev) {
  if (dev == nullptr) return;
  VEXO_DEVICE_HANDLE_t parent = nullptr;
  if (GetParentDevice(dev, &parent) == VEXO_STATUS_SUCCESS && parent != nullptr) {
    CloseDevice(parent);
  }
  CloseDevice(dev);
  dev = nullptr;
}

VEXO_STATUS_t clean_up(test_run& run, bool restore, VEXO_STATUS_t status) {
  if (restore && run.dut != nullptr && run.registers_saved) {
    RestoreDutErrorRegisters(run.dut, run.log, run.saved_status, run.saved_control);
  }
  if (run.log != nullptr) {
    StopTest(run.log);
    const VEXO_STATUS_t kept = CloseLog(run.log);
    run.log = nullptr;
    if (kept != VEXO_STATUS_SUCCESS) {
      std::printf("log[%s] is incomplete: %s\n", run.log_file, VEXOGetErrorDesc(kept));
      std::fflush(stdout);
      if (status == VEXO_STATUS_SUCCESS) status = kept;
    }
  }
  close_device_and_parent(run.card);
  if (run.card_port != nullptr) {
    CloseDevice(run.card_port);
    run.card_port = nullptr;
  }
  close_device_and_parent(run.dut);
  if (run.framework != nullptr) {
    CloseVEXO(run.framework);
    run.framework = nullptr;
  }
  // The DAT reader's heap copy of the user name is the program's to free.
  std::free(run.dat.user_name);
  run.dat.user_name = nullptr;
  return status;
}

}  // namespace zam
