// The Get...Capability family: one search of either list with every instance counted.
#include "vexo.h"

VEXO_API VEXO_STATUS_t GetPCIECapability(VEXO_DEVICE_HANDLE_t dev,
                                         PCIE_CAPABILITY_STRUCT_t* record,
                                         VEXO_CAP_HANDLE_t* cap) {
  return HelpGetPCICapability(dev, VEXO_PCI_CAP_PCI_EXPRESS, 0, 1, record, cap);
}

VEXO_API VEXO_STATUS_t GetPowerManagementCapability(
    VEXO_DEVICE_HANDLE_t dev, PCI_POWER_MANAGEMENT_CAPABILITY_STRUCT* record,
    VEXO_CAP_HANDLE_t* cap) {
  return HelpGetPCICapability(dev, VEXO_PCI_CAP_POWER_MANAGEMENT, 0, 1, record, cap);
}

VEXO_API VEXO_STATUS_t GetMSIXCapability(VEXO_DEVICE_HANDLE_t dev,
                                         PCI_MSI_X_CAPABILITY_STRUCT_t* record,
                                         VEXO_CAP_HANDLE_t* cap) {
  return HelpGetPCICapability(dev, VEXO_PCI_CAP_MSI_X, 0, 1, record, cap);
}

VEXO_API VEXO_STATUS_t GetAdvErrRepCapability(VEXO_DEVICE_HANDLE_t dev,
                                              PCIE_ADV_ERR_REP_CAP_STRUCT_t* record,
                                              VEXO_CAP_HANDLE_t* cap) {
  return HelpGetPCIECapability(dev, VEXO_PCIE_CAP_ADV_ERR_REP, 0, 1, record, cap);
}

VEXO_API VEXO_STATUS_t GetDeviceVirtualChannelCapability(
    VEXO_DEVICE_HANDLE_t dev, PCIE_VIRTUAL_CHANNEL_CAPABILITY_STRUCT_t* record,
    VEXO_CAP_HANDLE_t* cap) {
  return HelpGetPCIECapability(dev, VEXO_PCIE_CAP_VIRTUAL_CHANNEL, 0, 1, record, cap);
}

VEXO_API VEXO_STATUS_t GetDeviceSerialNumberCapability(
    VEXO_DEVICE_HANDLE_t dev, PCIE_DEV_SERIAL_NUM_CAPABILITY_STRUCT* record,
    VEXO_CAP_HANDLE_t* cap) {
  return HelpGetPCIECapability(dev, VEXO_PCIE_CAP_SERIAL_NUMBER, 0, 1, record, cap);
}

VEXO_API VEXO_STATUS_t GetPowerBudgetingCapability(VEXO_DEVICE_HANDLE_t dev,
                                                   PCIE_POWER_BUDGET_CAPABILITY_STRUCT_t* record,
                                                   VEXO_CAP_HANDLE_t* cap) {
  return HelpGetPCIECapability(dev, VEXO_PCIE_CAP_POWER_BUDGETING, 0, 1, record, cap);
}
