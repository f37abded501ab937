// Configuration reads and writes through the bound configuration table, by bus/device/function.
#pragma once

#include <cstdint>

#include "vexo.h"

namespace vexo {

// The count the table moved: the length on success, 0 on failure or without a table.
uint32_t read_config(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                     uint32_t length, void* buffer);
uint32_t write_config(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                      uint32_t length, const void* buffer);

// Through a device record; status 0 or the read/write failure code, *length the count.
VEXO_STATUS_t read_device_config(VEXO_DEVICE_HANDLE_t dev, void* buffer, uint32_t offset,
                                 uint32_t* length);
VEXO_STATUS_t write_device_config(VEXO_DEVICE_HANDLE_t dev, const void* buffer,
                                  uint32_t offset, uint32_t* length);

}  // namespace vexo
