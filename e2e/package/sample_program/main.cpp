// my_dut_check: reads the DUT's IDs through the installed framework and logs one verdict.
#include <cstdio>
#include <cstring>

#include "vexo.h"

int main(int argc, char** argv) {
  char dat_file[1000], log_file[1000];
  if (ParseCmdLineOptions(argc, argv, dat_file, log_file) || dat_file[0] == '\0' || log_file[0] == '\0') {
    std::printf("usage: my_dut_check -d <DAT file> -l <log file>\n");
    return 2;
  }
  VEXO_DAT_INFO_t dat{};
  if (parseDatFile(dat_file, &dat) != VEXO_STATUS_SUCCESS) return 1;
  VEXO_LOG_HANDLE_t log = nullptr;
  if (CreateLog(nullptr, &log, VEXO_LOG_TYPE_XML, log_file, VEXO_LOG_ACTION_OVERWRITE) != VEXO_STATUS_SUCCESS) return 1;
  VEXO_HANDLE_t framework = nullptr;
  VEXO_STATUS_t status = OpenVEXO(&framework, 0, dat.pcie_base_address, dat.vexo_ini_path, dat.vexo_ini_file);
  VEXO_DEVICE_HANDLE_t dut = nullptr;
  if (status == VEXO_STATUS_SUCCESS) status = FindDevice(framework, &dut, dat.find_flags[0], &dat.devices[0]);
  VEXO_TEST_NUM_t number{};
  number.category = VEXO_TEST_CATEGORY_CFG;
  std::strcpy(number.part1, "1");
  std::strcpy(number.part2, "0");
  std::strcpy(number.part3, "0");
  std::strcpy(number.part4, "0");
  StartTest(log, "MyDutCheck", &number, 1, dut);
  uint32_t id = 0;
  unsigned int length = 4;
  if (status == VEXO_STATUS_SUCCESS) status = ReadConfigSpace(dut, &id, 0, &length);
  char message[100];
  std::snprintf(message, sizeof message, "DUT ID register 0x%08X\n", id);
  LogAssert(log, status == VEXO_STATUS_SUCCESS ? VEXO_LOG_SUCCESS : VEXO_LOG_FAIL, &number, message);
  std::printf("my_dut_check: %s", message);
  StopTest(log);
  CloseLog(log);
  if (dut != nullptr) CloseDevice(dut);
  if (framework != nullptr) CloseVEXO(framework);
  return status == VEXO_STATUS_SUCCESS ? 0 : 1;
}
