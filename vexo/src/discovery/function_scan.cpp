// Discovery reads and record making.
#include "discovery/function_scan.h"

#include <cstring>

#include "config/config_access.h"

namespace vexo {

bool read_discovery_header(const function_number& where, discovery_buffer& buffer) {
  std::memset(buffer, 0, sizeof buffer);
  return read_config(where.bus, where.device, where.function, 0, discovery_read_size, buffer) ==
         discovery_read_size;
}

VEXO_STATUS_t make_record_at(const function_number& where, const discovery_buffer& buffer,
                             VEXO_DEVICE_HANDLE_t* dev) {
  return make_device_record(static_cast<uint8_t>(where.bus), static_cast<uint8_t>(where.device),
                            static_cast<uint8_t>(where.function), buffer, dev);
}

}  // namespace vexo
