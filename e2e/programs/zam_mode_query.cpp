// zam_mode_query: the card's mode as the framework reports it, for the lab's end-to-end
// tests. It reads its DAT file, opens the framework, finds the DUT and the card above it,
// and prints "mode N" with the value QueryZAMMode gives (0 add-in card, 1 topology, 2
// known endpoint). Exit code 0, or the failing call's status.
#include <cstdio>

#include "vexo.h"

int main(int argc, char** argv) {
  char dat_file[1000], log_file[1000];
  if (ParseCmdLineOptions(argc, argv, dat_file, log_file) || dat_file[0] == '\0') {
    std::printf("Usage: zam_mode_query -d <DAT file>\n");
    return 2;
  }
  VEXO_DAT_INFO_t dat{};
  VEXO_STATUS_t status = parseDatFile(dat_file, &dat);
  if (status != VEXO_STATUS_SUCCESS) return static_cast<int>(status);
  VEXO_HANDLE_t framework = nullptr;
  status = OpenVEXO(&framework, 0, dat.pcie_base_address, dat.vexo_ini_path, dat.vexo_ini_file);
  if (status != VEXO_STATUS_SUCCESS) {
    std::printf("OpenVEXO failed: %s\n", VEXOGetErrorDesc(status));
    return static_cast<int>(status);
  }
  VEXO_DEVICE_HANDLE_t dut = nullptr, card = nullptr, port = nullptr;
  status = FindDevice(framework, &dut, dat.find_flags[0], &dat.devices[0]);
  if (status == VEXO_STATUS_SUCCESS) status = OpenDevice(dut, 0);
  if (status == VEXO_STATUS_SUCCESS) status = VEXO_GetUpstreamZAM(dut, &card, &port);
  VEXO_ZAM_OP_MODE_t mode = 0xFF;
  if (status == VEXO_STATUS_SUCCESS) status = QueryZAMMode(card, &mode);
  if (status == VEXO_STATUS_SUCCESS) {
    std::printf("mode %u\n", static_cast<unsigned>(mode));
  } else {
    std::printf("failed: 0x%08X\n", status);
  }
  VEXO_DEVICE_HANDLE_t parent = nullptr;  // the parent record OpenDevice made is ours to close
  if (dut != nullptr && GetParentDevice(dut, &parent) == VEXO_STATUS_SUCCESS) CloseDevice(parent);
  CloseDevice(port);
  CloseDevice(card);
  CloseDevice(dut);
  CloseVEXO(framework);
  return static_cast<int>(status);
}
