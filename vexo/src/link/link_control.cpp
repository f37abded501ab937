// Link control from the upstream side: disable, enable and retrain through the parent's Link
// Control register, the training wait, and the power-state calls that change nothing.
#include "caps/console.h"
#include "caps/express_capability.h"
#include "caps/pci_registers.h"
#include "device/device_record.h"
#include "platform/clock.h"

namespace vexo {
namespace {

enum class link_change { disable, enable, retrain };

VEXO_STATUS_t change_link_control(VEXO_DEVICE_HANDLE_t dev, link_change change) {
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const device_record& record = *record_from_handle(dev);
  device_record* parent = record.parent;
  if (parent == nullptr) {
    say("VEXO_DisableLink. ERROR . Cannot find upstream device for \t\t\t\tdevice @ BDF[%d,%d,%d]\n",
        record.bus, record.device, record.function);
    return VEXO_STATUS_FAILED;
  }

  PCIE_CAPABILITY_STRUCT_t express{};
  VEXO_CAP_HANDLE_t cap = nullptr;
  const VEXO_STATUS_t found = GetPCIECapability(parent, &express, &cap);
  if (found != VEXO_STATUS_SUCCESS) {
    VEXO_FreeCapabilityHandle(cap);  // a second instance still leaves a handle behind
    say(change == link_change::retrain
            ? "VEXO_RetrainDUTLink. Getting PCI-Express Caps for device\t\t\t\t@ BDF[%d,%d,%d] failed\n"
            : "VEXO_DisableLink. Getting PCI-Express Caps for device\t\t\t\t@ BDF[%d,%d,%d] failed\n",
        parent->bus, parent->device, parent->function);
    return found;
  }

  uint16_t control = express.link_control;
  switch (change) {
    case link_change::disable: control |= reg::link_control_disable; break;
    case link_change::enable: control &= static_cast<uint16_t>(~reg::link_control_disable); break;
    case link_change::retrain: control |= reg::link_control_retrain; break;
  }
  unsigned int length = sizeof control;
  const VEXO_STATUS_t written = WriteCapability(cap, &control, reg::express_link_control, &length);
  VEXO_FreeCapabilityHandle(cap);
  if (written != VEXO_STATUS_SUCCESS) {
    say("VEXO_DisableLink. Writing to PCI-Express caps\t\t\t\tfor Device at BDF[%d,%d,%d] failed\n",
        parent->bus, parent->device, parent->function);
  }
  return written;
}

}  // namespace
}  // namespace vexo

VEXO_API VEXO_STATUS_t VEXO_DisableLink(VEXO_DEVICE_HANDLE_t dev) {
  return vexo::change_link_control(dev, vexo::link_change::disable);
}

VEXO_API VEXO_STATUS_t VEXO_EnableLink(VEXO_DEVICE_HANDLE_t dev) {
  return vexo::change_link_control(dev, vexo::link_change::enable);
}

VEXO_API VEXO_STATUS_t VEXO_RetrainDUTLink(VEXO_DEVICE_HANDLE_t dev) {
  return vexo::change_link_control(dev, vexo::link_change::retrain);
}

VEXO_API VEXO_STATUS_t VEXO_WaitForDeviceToRetrain(VEXO_DEVICE_HANDLE_t dev, int milliseconds) {
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  if (milliseconds > 0) platform::sleep_ms(static_cast<uint32_t>(milliseconds));
  PCIE_CAPABILITY_STRUCT_t express{};
  VEXO_CAP_HANDLE_t cap = nullptr;
  const VEXO_STATUS_t found = GetPCIECapability(dev, &express, &cap);
  VEXO_FreeCapabilityHandle(cap);
  if (found != VEXO_STATUS_SUCCESS) return found;
  return (express.link_status & vexo::reg::link_status_training) != 0 ? VEXO_STATUS_FAILED
                                                                      : VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t VEXO_GetPortToResetOrRetrain(VEXO_DEVICE_HANDLE_t dev,
                                                    VEXO_DEVICE_HANDLE_t* port) {
  if (port == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *port = dev == nullptr ? nullptr : vexo::record_from_handle(dev)->parent;
  return *port == nullptr ? VEXO_STATUS_INVALID_PARAMETER : VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t SetASPMState(VEXO_DEVICE_HANDLE_t, VEXO_ASPM_CONTROL_STATE_t) {
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t SetUpstreamASPMState(VEXO_DEVICE_HANDLE_t, VEXO_ASPM_CONTROL_STATE_t) {
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t WriteDeviceStatusReg(VEXO_DEVICE_HANDLE_t, int, int, int, int) {
  return VEXO_STATUS_INVALID_PARAMETER;
}
