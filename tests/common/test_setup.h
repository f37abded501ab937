// The two set-up routines of the compliance tests: command line, DAT file, log, framework,
// DUT and card, and the DUT's error registers.
#pragma once

#include <cstdint>

#include "vexo.h"

// Data-link programs: the card is required, the DUT's port type is checked, AER status is
// cleared and before/after values are logged. Either saved-register pointer may be NULL, and
// that step is skipped.
VEXO_STATUS_t LinkTestSetup(int argc, char* argv[], const char* test_name, int vexo_reserved,
                            VEXO_LOG_ACTION_t log_action, VEXO_HANDLE_t* framework,
                            VEXO_LOG_HANDLE_t* log, VEXO_DEVICE_HANDLE_t* card,
                            VEXO_DEVICE_HANDLE_t* card_port, uint32_t* dut_find_flags,
                            VEXO_DEVICE_HANDLE_t* dut, VEXO_DAT_INFO_t* dat,
                            VEXO_TEST_NUM_t* number, char* dat_file, char* log_file,
                            uint16_t* saved_control, uint16_t* saved_status);

// Transaction programs: the card is optional (card NULL: not looked up; not found: noted and
// the run goes on), the port type is not examined and AER status is not cleared.
VEXO_STATUS_t TxnTestSetup(int argc, char* argv[], const char* test_name, int vexo_reserved,
                           VEXO_LOG_ACTION_t log_action, VEXO_HANDLE_t* framework,
                           VEXO_LOG_HANDLE_t* log, VEXO_DEVICE_HANDLE_t* card,
                           VEXO_DEVICE_HANDLE_t* card_port, uint32_t* dut_find_flags,
                           VEXO_DEVICE_HANDLE_t* dut, VEXO_DAT_INFO_t* dat,
                           VEXO_TEST_NUM_t* number, char* dat_file, char* log_file,
                           uint16_t* saved_control, uint16_t* saved_status);
