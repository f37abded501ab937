// Device Status, Device Control and Command register routines of the DUT.
#include "shared_routines.h"

namespace {

constexpr unsigned int command_offset = 0x04;
constexpr uint16_t serr_enable_bit = 0x0100;
constexpr unsigned int device_control_offset = 0x08;
constexpr unsigned int device_status_offset = 0x0A;
constexpr uint16_t error_bits = 0x000F;  // correctable, non-fatal, fatal, unsupported request

struct register_texts {
  const char* no_capability;
  const char* write_failed;
};

constexpr register_texts status_texts{"Unable to retrieve PCIE capability for dut\n",
                                      "WriteCapability() to write device status register failed\n"};
constexpr register_texts control_texts{"Unable to retrieve PCIE capability for dut\n",
                                       "WriteCapability() to write device control register failed\n"};
constexpr register_texts txn_status_texts{
    ":::Unable to retrieve PCIE capability for dut\n",
    ":::WriteCapability() to write device status register failed\n"};
constexpr register_texts txn_control_texts{
    ":::Unable to retrieve PCIE capability for dut\n",
    ":::WriteCapability() to write device control register failed\n"};

uint16_t register_of(const PCIE_CAPABILITY_STRUCT_t& cap, unsigned int offset) {
  return offset == device_status_offset ? cap.device_status : cap.device_control;
}

// Reads one 16-bit register of the PCI Express capability.
VEXO_STATUS_t read_register(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log, unsigned int offset,
                            const register_texts& texts, uint16_t* value) {
  PCIE_CAPABILITY_STRUCT_t cap{};
  VEXO_CAP_HANDLE_t handle = nullptr;
  const VEXO_STATUS_t status = GetPCIECapability(dut, &cap, &handle);
  if (status != VEXO_STATUS_SUCCESS) {
    WriteToLog(log, VEXO_LOG_ERROR, "%s", texts.no_capability);
    return status;
  }
  *value = register_of(cap, offset);
  VEXO_FreeCapabilityHandle(handle);
  return VEXO_STATUS_SUCCESS;
}

// Reads a register and writes value | bits (`value` null: the value read), reporting the value
// read. Returns the capability lookup's status when that fails, else the write's status;
// `found` tells the two apart.
VEXO_STATUS_t write_register(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log, unsigned int offset,
                             const register_texts& texts, uint16_t bits, const uint16_t* value,
                             uint16_t* old_value, bool* found = nullptr) {
  PCIE_CAPABILITY_STRUCT_t cap{};
  VEXO_CAP_HANDLE_t handle = nullptr;
  const VEXO_STATUS_t status = GetPCIECapability(dut, &cap, &handle);
  if (found != nullptr) *found = status == VEXO_STATUS_SUCCESS;
  if (status != VEXO_STATUS_SUCCESS) {
    WriteToLog(log, VEXO_LOG_ERROR, "%s", texts.no_capability);
    return status;
  }
  const uint16_t old = register_of(cap, offset);
  if (old_value != nullptr) *old_value = old;
  uint16_t written = static_cast<uint16_t>((value != nullptr ? *value : old) | bits);
  unsigned int length = 2;
  const VEXO_STATUS_t write = WriteCapability(handle, &written, offset, &length);
  VEXO_FreeCapabilityHandle(handle);
  if (write != VEXO_STATUS_SUCCESS) WriteToLog(log, VEXO_LOG_ERROR, "%s", texts.write_failed);
  return write;
}

// The link forms: set the bits, then read the register back. A failed write alone does not
// fail the step; a capability that cannot be found (before or after) does.
VEXO_STATUS_t set_and_read_back(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                unsigned int offset, const register_texts& texts,
                                uint16_t* old_value, uint16_t* new_value) {
  bool found = false;
  const VEXO_STATUS_t first =
      write_register(dut, log, offset, texts, error_bits, nullptr, old_value, &found);
  if (!found) return first;
  uint16_t now = 0;
  const VEXO_STATUS_t read = read_register(dut, log, offset, texts, &now);
  if (read != VEXO_STATUS_SUCCESS) return read;
  if (new_value != nullptr) *new_value = now;
  return VEXO_STATUS_SUCCESS;
}

}  // namespace

uint16_t SetDutSerrEnable(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t, uint16_t enable) {
  uint16_t command = 0;
  unsigned int length = 2;
  ReadConfigSpace(dut, &command, command_offset, &length);
  const uint16_t old = command;
  command = enable == 0 ? static_cast<uint16_t>(command & ~serr_enable_bit)
                        : static_cast<uint16_t>(command | serr_enable_bit);
  length = 2;
  WriteConfigSpace(dut, &command, command_offset, &length);
  return old;
}

VEXO_STATUS_t ClearDutDeviceStatus(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                   uint16_t* old_status, uint16_t* new_status) {
  return set_and_read_back(dut, log, device_status_offset, status_texts, old_status, new_status);
}

VEXO_STATUS_t ClearDutDeviceStatus(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                   uint16_t* old_status) {
  return write_register(dut, log, device_status_offset, txn_status_texts, error_bits, nullptr,
                        old_status);
}

VEXO_STATUS_t EnableDutErrorReporting(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                      uint16_t* old_control, uint16_t* new_control) {
  return set_and_read_back(dut, log, device_control_offset, control_texts, old_control,
                           new_control);
}

VEXO_STATUS_t EnableDutErrorReporting(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                      uint16_t* old_control) {
  return write_register(dut, log, device_control_offset, txn_control_texts, error_bits, nullptr,
                        old_control);
}

VEXO_STATUS_t RestoreDutErrorRegisters(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                       uint16_t saved_status, uint16_t saved_control) {
  write_register(dut, log, device_status_offset, status_texts, 0, &saved_status, nullptr);
  return write_register(dut, log, device_control_offset, control_texts, 0, &saved_control,
                        nullptr);
}

VEXO_STATUS_t ReadDutDeviceStatus(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log,
                                  uint16_t* status, uint16_t* status_copy) {
  uint16_t value = 0;
  const VEXO_STATUS_t read = read_register(dut, log, device_status_offset, status_texts, &value);
  if (read != VEXO_STATUS_SUCCESS) return read;
  if (status != nullptr) *status = value;
  if (status_copy != nullptr) *status_copy = value;
  return VEXO_STATUS_SUCCESS;
}
