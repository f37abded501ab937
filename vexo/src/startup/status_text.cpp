// VEXOGetErrorDesc: the message table of the status codes.
#include "vexo.h"

namespace {

struct status_message {
  VEXO_STATUS_t status;
  const char* text;
};

// Searched in this order. Codes without a row (device, dialog and test-program codes) get
// the "Invalid Error Code" text, as every value not listed.
constexpr status_message status_messages[] = {
    {VEXO_STATUS_SUCCESS, "VEXO :: SUCCESS"},
    {VEXO_STATUS_MULTIPLE_INSTANCES_OF_CAP_FOUND, "VEXO :: MULTIPLE INSTANCES OF CAP FOUND"},
    {VEXO_STATUS_INSUFFICIENT_RESOURCES, "VEXO :: INSUFFICIENT RESOURCES"},
    {VEXO_STATUS_DRIVER_INITIALIZATION_FAILED, "VEXO :: DRIVER INITIALIZATION FAILED"},
    {VEXO_STATUS_INVALID_PARAMETER, "VEXO :: INVALID PARAMETER"},
    {VEXO_STATUS_UNSUPPORTED_PARAMETER, "VEXO :: UNSUPPORTED PARAMETER"},
    {VEXO_STATUS_FAILED, "VEXO :: STATUS FAILED"},
    {VEXO_STATUS_NO_LOG_FILE, "VEXO :: NO LOG FILE"},
    {VEXO_STATUS_INVALID_LOG_FILE_HANDLE, "VEXO :: INVALID LOG FILE HANDLE"},
    {VEXO_STATUS_LOG_FILE_TOO_BIG, "VEXO :: LOG FILE TOO BIG"},
    {VEXO_STATUS_NO_DAT_FILE, "VEXO :: NO DAT FILE"},
    {VEXO_STATUS_LOG_NOT_OPEN, "VEXO :: LOG NOT OPEN"},
    {VEXO_STATUS_LOG_WRITE_ERROR, "VEXO :: LOG WRITE ERROR"},
    {VEXO_STATUS_PCIE_CONFIG_READ_FAILED, "VEXO :: PCIE CONFIG READ FAILED"},
    {VEXO_STATUS_PCIE_CONFIG_WRITE_FAILED, "VEXO :: PCIE CONFIG WRITE FAILED"},
    {VEXO_STATUS_PCIE_NO_MORE_CAPS, "VEXO :: PCIE CAP DOES NOT EXIST"},
    {VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST, "VEXO :: PCIE CAP DOES NOT EXIST"},
    {VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND,
     "VEXO :: PCIE MULTIPLE INSTANCES OF CAP FOUND"},
};

}  // namespace

extern "C" VEXO_API const char* VEXOGetErrorDesc(VEXO_STATUS_t status) {
  for (const status_message& row : status_messages) {
    if (row.status == status) return row.text;
  }
  return "VEXO :: Invalid Error Code";
}
