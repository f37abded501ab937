// The card table's upstream pair search: a device's parent bridge and that bridge's parent.
#pragma once

#include <cstdint>

namespace pellor {

uint32_t find_upstream_pair(uint32_t bus, uint32_t device, uint32_t function,
                            uint32_t* grandparent_bus, uint32_t* grandparent_device,
                            uint32_t* grandparent_function, uint8_t* grandparent_config,
                            uint32_t* parent_bus, uint32_t* parent_device,
                            uint32_t* parent_function, uint8_t* parent_config);

}  // namespace pellor
