// Clearing the DUT's AER Uncorrectable and Correctable Error Status registers.
#include "shared_routines.h"

namespace {

constexpr unsigned int uncorrectable_status = 0x04;
constexpr uint32_t uncorrectable_bits = 0x1FF011;  // bits 0, 4, 12-20
constexpr unsigned int correctable_status = 0x10;
constexpr uint32_t correctable_bits = 0x11C1;  // bits 0, 6, 7, 8, 12

// Writes the register with its value OR the bits; the register is write-1-to-clear.
void clear_register(VEXO_DEVICE_HANDLE_t dut, unsigned int offset, uint32_t bits) {
  VEXO_ADVERR_INFO_t info{};
  if (VEXO_ADVERR_Util_GetAdvErrorRepCap(dut, &info) != VEXO_STATUS_SUCCESS) {
    if (info.cap != nullptr) VEXO_FreeCapabilityHandle(info.cap);
    return;
  }
  uint32_t value = (offset == uncorrectable_status ? info.aer.uncorrectable_status
                                                   : info.aer.correctable_status) | bits;
  unsigned int length = 4;
  WriteCapability(info.cap, &value, offset, &length);
  VEXO_FreeCapabilityHandle(info.cap);
}

}  // namespace

namespace zam {

void clear_dut_aer_status(VEXO_DEVICE_HANDLE_t dut) {
  clear_register(dut, uncorrectable_status, uncorrectable_bits);
  clear_register(dut, correctable_status, correctable_bits);
}

}  // namespace zam
