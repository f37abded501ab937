// TxnTestSetup: the set-up of the transaction-layer programs.
#include <cstdio>

#include "dat_values.h"
#include "run_trouble.h"
#include "shared_routines.h"
#include "test_setup.h"

VEXO_STATUS_t TxnTestSetup(int argc, char* argv[], const char* test_name, int vexo_reserved,
                           VEXO_LOG_ACTION_t log_action, VEXO_HANDLE_t* framework,
                           VEXO_LOG_HANDLE_t* log, VEXO_DEVICE_HANDLE_t* card,
                           VEXO_DEVICE_HANDLE_t* card_port, uint32_t* dut_find_flags,
                           VEXO_DEVICE_HANDLE_t* dut, VEXO_DAT_INFO_t* dat,
                           VEXO_TEST_NUM_t* number, char* dat_file, char* log_file,
                           uint16_t* saved_control, uint16_t* saved_status) {
  *framework = nullptr;
  *log = nullptr;
  if (argc == 1 || ParseCmdLineOptions(argc, argv, dat_file, log_file) == 1) {
    return VEXO_STATUS_NO_LOG_FILE;
  }
  VEXO_STATUS_t status = parseDatFile(dat_file, dat);
  if (status != VEXO_STATUS_SUCCESS) return status;
  status = CreateLog(nullptr, log, VEXO_LOG_TYPE_XML, log_file, log_action);
  if (status != VEXO_STATUS_SUCCESS) return status;
  status = zam::state_dat_values(*log, number, argv[0], *dat);
  if (status != VEXO_STATUS_SUCCESS) return status;
  status = OpenVEXO(framework, vexo_reserved, dat->pcie_base_address, dat->vexo_ini_path,
                    dat->vexo_ini_file);
  if (status != VEXO_STATUS_SUCCESS) {
    WriteToLog(*log, VEXO_LOG_INFO, "%s. cannot open vexo\n", argv[0]);
    zam::end_failed_startup(*log, number, status);
    return status;
  }
  std::fflush(stdout);

  *dut_find_flags = dat->find_flags[0];
  status = FindDevice(*framework, dut, *dut_find_flags, &dat->devices[0]);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(*log, VEXO_LOG_ABORT, number, "FindDevice() for DUT FAILED\n");
    return status;
  }
  status = OpenDevice(*dut, 0);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(*log, VEXO_LOG_ABORT, number, "OpenDevice() for DUT FAILED\n");
    return status;
  }
  WriteToLog(*log, VEXO_LOG_SUCCESS, "%s", "Opened the DUT\n");
  status = StartTest(*log, test_name, number, 0, *dut);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(*log, VEXO_LOG_ABORT, number, "StartTest() FAILED\n");
    return status;
  }

  if (card != nullptr) {
    *card = nullptr;
    if (VEXO_GetUpstreamZAM(*dut, card, card_port) != VEXO_STATUS_SUCCESS ||
        !zam::is_card(*card)) {
      // A bridge that is not a card counts as no card; its records are of no use.
      if (*card != nullptr) CloseDevice(*card);
      if (card_port != nullptr && *card_port != nullptr) CloseDevice(*card_port);
      *card = nullptr;
      if (card_port != nullptr) *card_port = nullptr;
      WriteToLog(*log, VEXO_LOG_INFO, "%s",
                 "::ZAM is not present. Check with the test algorithm to make sure ZAM is not "
                 "needed::");
    } else {
      status = OpenDevice(*card, 0);
      if (status != VEXO_STATUS_SUCCESS) {
        LogAssert(*log, VEXO_LOG_ABORT, number, "OpenDevice() for ZAMDev FAILED\n");
        return status;
      }
      WriteToLog(*log, VEXO_LOG_SUCCESS, "%s", "Opened the ZAM\n");
    }
  }

  ClearDutDeviceStatus(*dut, *log, saved_status);
  status = EnableDutErrorReporting(*dut, *log, saved_control);
  dat->saved_command = SetDutSerrEnable(*dut, *log, dat->serr_enable);
  LogDutConfigSpace(*dut, *log);
  return status;
}
