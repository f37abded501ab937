// Turning untyped log handles back into log objects.
#pragma once

#include <string>

#include "common/guarded.h"
#include "log/vexo_log.h"

namespace vexo {

inline CVEXOLog* log_from_handle(VEXO_LOG_HANDLE_t handle) {
  return static_cast<CVEXOLog*>(handle);
}

inline std::string text_or_empty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace vexo
