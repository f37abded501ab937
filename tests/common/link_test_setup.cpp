// LinkTestSetup: the set-up of the data-link-layer programs.
#include <cstdio>

#include "dat_values.h"
#include "program_usage.h"
#include "run_trouble.h"
#include "shared_routines.h"
#include "test_setup.h"

namespace {

bool accepted_port_type(VEXO_DEV_PORT_TYPE_t type) {
  return type == VEXO_DEV_ENDPOINT || type == VEXO_DEV_LEGACY_ENDPOINT ||
         type == VEXO_DEV_SWITCH_UPSTREAM_PORT || type == VEXO_DEV_PCIE_TO_PCI_BRIDGE;
}

}  // namespace

VEXO_STATUS_t LinkTestSetup(int argc, char* argv[], const char* test_name, int vexo_reserved,
                            VEXO_LOG_ACTION_t log_action, VEXO_HANDLE_t* framework,
                            VEXO_LOG_HANDLE_t* log, VEXO_DEVICE_HANDLE_t* card,
                            VEXO_DEVICE_HANDLE_t* card_port, uint32_t* dut_find_flags,
                            VEXO_DEVICE_HANDLE_t* dut, VEXO_DAT_INFO_t* dat,
                            VEXO_TEST_NUM_t* number, char* dat_file, char* log_file,
                            uint16_t* saved_control, uint16_t* saved_status) {
  *framework = nullptr;
  *log = nullptr;
  *card = nullptr;
  *dut = nullptr;
  if (argc == 1 || ParseCmdLineOptions(argc, argv, dat_file, log_file) == 1) {
    zam::print_usage_line(argv[0]);
    return VEXO_STATUS_NO_LOG_FILE;
  }
  VEXO_STATUS_t status = parseDatFile(dat_file, dat);
  if (status != VEXO_STATUS_SUCCESS) {
    std::printf("%s. Error in processing command dat file\n", argv[0]);
    return status;
  }
  status = CreateLog(nullptr, log, VEXO_LOG_TYPE_XML, log_file, log_action);
  if (status != VEXO_STATUS_SUCCESS) {
    std::printf("%s. cannot create log with name[%s]\n", argv[0], log_file);
    return status;
  }
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
  LogMcfgTableInfo(*log);

  *dut_find_flags = dat->find_flags[0];
  status = FindDevice(*framework, dut, *dut_find_flags, &dat->devices[0]);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(*log, VEXO_LOG_ABORT, number,
              "LinkTestSetup. FindDevice() for DUT FAILED. Please verify DUT exists\n");
    return status;
  }
  status = StartTest(*log, test_name, number, 0, *dut);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(*log, VEXO_LOG_ABORT, number, "StartTest() FAILED\n");
    return status;
  }
  status = OpenDevice(*dut, 0);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(*log, VEXO_LOG_ABORT, number, "OpenDevice() for DUT FAILED\n");
    return status;
  }
  unsigned char bus = 0, device = 0, function = 0;
  GetBusNumber(*dut, &bus);
  GetDeviceNumber(*dut, &device);
  GetFunctionNumber(*dut, &function);
  VEXO_DEV_PORT_TYPE_t type{};
  status = GetDeviceType(*dut, &type);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(*log, VEXO_LOG_ABORT, number, "Unable to determine port type of DUT\n");
    return status;
  }
  if (!accepted_port_type(type)) {
    LogAssert(*log, VEXO_LOG_ABORT, number,
              "ERROR. DUT is not one of[ PCIE endpoint, legacy endpoint, switch up port, "
              "pcie-pci bridge\n");
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  WriteToLog(*log, VEXO_LOG_SUCCESS, "%s", "Opened the DUT\n");

  status = VEXO_GetUpstreamZAM(*dut, card, card_port);
  if (status == VEXO_STATUS_SUCCESS && !zam::is_card(*card)) {
    // The bridge two levels up is there but is not a card.
    status = VEXO_STATUS_ZAM_NOT_PRESENT;
  }
  if (status != VEXO_STATUS_SUCCESS) {
    char text[128];
    std::snprintf(text, sizeof text, "FAIL - No ZAM immediately upstream of DUT @BDF[%d,%d,%d]\n",
                  bus, device, function);
    LogAssert(*log, VEXO_LOG_ABORT, number, text);
    return status;
  }
  status = OpenDevice(*card, 0);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(*log, VEXO_LOG_ABORT, number, "OpenDevice() for ZAMDev FAILED\n");
    return status;
  }
  unsigned char card_bus = 0, card_device = 0, card_function = 0;
  GetBusNumber(*card, &card_bus);
  GetDeviceNumber(*card, &card_device);
  GetFunctionNumber(*card, &card_function);
  WriteToLog(*log, VEXO_LOG_SUCCESS,
             "SUCCESS - Opened ZAM @ BDF[(%d,%d,%d)] upstream of DUT[(%d,%d,%d)]\n", card_bus,
             card_device, card_function, bus, device, function);

  VEXO_STATUS_t result = VEXO_STATUS_SUCCESS;
  uint16_t new_status = 0, new_control = 0;
  if (saved_status != nullptr) result = ClearDutDeviceStatus(*dut, *log, saved_status, &new_status);
  if (saved_control != nullptr) {
    // A failure of the first step is not hidden by a later success.
    const VEXO_STATUS_t enabled = EnableDutErrorReporting(*dut, *log, saved_control, &new_control);
    if (result == VEXO_STATUS_SUCCESS) result = enabled;
  }
  if (saved_status != nullptr) {
    WriteToLog(*log, VEXO_LOG_INFO,
               "LinkTestSetup. BEFORE CLEARING. device status register[0x%x] \n \t\t\t AFTER "
               "clearing. device status register[0x%x]\n",
               *saved_status, new_status);
  }
  if (saved_control != nullptr) {
    WriteToLog(*log, VEXO_LOG_INFO,
               "LinkTestSetup. BEFORE ENABLING. Device Control register[0x%x].\n \t\t\tAFTER "
               "ENABLING. ERROR reporting register[0x%x]\n",
               *saved_control, new_control);
  }

  zam::clear_dut_aer_status(*dut);
  WriteToLog(*log, VEXO_LOG_INFO, "LinkTestSetup: SERR Enable Value : %x \n", dat->serr_enable);
  dat->saved_command = SetDutSerrEnable(*dut, *log, dat->serr_enable);
  LogDutConfigSpace(*dut, *log);
  return result;
}
