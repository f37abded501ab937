// The framework handle: a user tag and the found-device list that discovery fills.
#pragma once

#include "device/intrusive_list.h"
#include "vexo.h"

namespace vexo {

inline constexpr const char* framework_user_tag = "vexo_user";

struct framework_handle {
  const char* user_tag;
  item_list found_devices;  // device records handed out by FindDevice with find information
  item_list spare_list;     // set up empty, not used
};

// Makes a handle with both lists empty; null when memory runs out. Handles stay valid until
// the process ends (device records may point to them after CloseVEXO), and are freed then.
framework_handle* make_framework_handle();

inline framework_handle* framework_from_handle(VEXO_HANDLE_t handle) {
  return static_cast<framework_handle*>(handle);
}

}  // namespace vexo
