// lab_mode: prints the card mode the framework's QueryZAMMode reports for the card above
// the DUT of a DAT file ("mode N"); exit 0, or the failing status's low byte.
#include <cstdio>

#include "vexo.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("Usage: lab_mode <DAT file>\n");
    return 2;
  }
  VEXO_DAT_INFO_t dat{};
  VEXO_STATUS_t status = parseDatFile(argv[1], &dat);
  VEXO_HANDLE_t framework = nullptr;
  if (status == VEXO_STATUS_SUCCESS) {
    status = OpenVEXO(&framework, 0, dat.pcie_base_address, dat.vexo_ini_path, dat.vexo_ini_file);
  }
  VEXO_DEVICE_HANDLE_t dut = nullptr, card = nullptr, port = nullptr;
  if (status == VEXO_STATUS_SUCCESS) status = FindDevice(framework, &dut, dat.find_flags[0], &dat.devices[0]);
  if (status == VEXO_STATUS_SUCCESS) status = OpenDevice(dut, 0);
  if (status == VEXO_STATUS_SUCCESS) status = VEXO_GetUpstreamZAM(dut, &card, &port);
  VEXO_ZAM_OP_MODE_t mode = 0xFF;
  if (status == VEXO_STATUS_SUCCESS) status = QueryZAMMode(card, &mode);
  if (status == VEXO_STATUS_SUCCESS) std::printf("mode %u\n", static_cast<unsigned>(mode));
  if (card != nullptr) CloseDevice(card);
  if (port != nullptr) CloseDevice(port);
  if (dut != nullptr) {
    // OpenDevice made the DUT's parent record; its user frees it.
    VEXO_DEVICE_HANDLE_t parent = nullptr;
    if (GetParentDevice(dut, &parent) == VEXO_STATUS_SUCCESS && parent != nullptr) CloseDevice(parent);
    CloseDevice(dut);
  }
  if (framework != nullptr) CloseVEXO(framework);
  return status == VEXO_STATUS_SUCCESS ? 0 : static_cast<int>((status & 0xFF) == 0 ? 0x80 : status & 0xFF);
}
