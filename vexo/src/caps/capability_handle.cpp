// Capability handles and the calls that read them.
#include "caps/capability_handle.h"

#include <cstdlib>

#include "config/config_access.h"

namespace vexo {

capability_record* make_capability(VEXO_DEVICE_HANDLE_t device, uint32_t offset, uint32_t id,
                                   uint32_t length, uint32_t next) {
  // calloc: handed to callers as plain data, freed by VEXO_FreeCapabilityHandle.
  auto* record = static_cast<capability_record*>(std::calloc(1, sizeof(capability_record)));
  if (record == nullptr) return nullptr;
  *record = capability_record{device, offset, id, length, next};
  return record;
}

void free_capability(VEXO_CAP_HANDLE_t cap) { std::free(cap); }

}  // namespace vexo

VEXO_API VEXO_STATUS_t GetCapOffset(VEXO_CAP_HANDLE_t cap, unsigned int* offset) {
  if (cap == nullptr || offset == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *offset = vexo::capability_from_handle(cap)->offset;
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t ReadCapability(VEXO_CAP_HANDLE_t cap, void* buffer, unsigned int offset,
                                      unsigned int* length) {
  if (cap == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const vexo::capability_record* record = vexo::capability_from_handle(cap);
  return vexo::read_device_config(record->device, buffer, record->offset + offset, length);
}

VEXO_API VEXO_STATUS_t WriteCapability(VEXO_CAP_HANDLE_t cap, void* buffer, unsigned int offset,
                                       unsigned int* length) {
  if (cap == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const vexo::capability_record* record = vexo::capability_from_handle(cap);
  return vexo::write_device_config(record->device, buffer, record->offset + offset, length);
}

VEXO_API VEXO_STATUS_t VEXO_QueryCapInfo(VEXO_CAP_HANDLE_t cap, VEXO_PCI_DEVICE_CAP_INFO_t* info) {
  if (cap == nullptr || info == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const vexo::capability_record* record = vexo::capability_from_handle(cap);
  *info = VEXO_PCI_DEVICE_CAP_INFO_t{record->offset, record->id, record->length, record->next};
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t VEXO_FreeCapabilityHandle(VEXO_CAP_HANDLE_t cap) {
  vexo::free_capability(cap);
  return VEXO_STATUS_SUCCESS;
}
