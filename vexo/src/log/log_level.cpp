// What each message level becomes in the three log kinds.
#include "log/log_level.h"

#include "vexo.h"

namespace vexo {

xml_tag_pair xml_free_text_tags(int32_t level) {
  // Decided in this order, as a signed number: everything above INFO is ABORT or WARNING,
  // so ERROR (0x20000000) and unknown levels land in a WARNING element.
  if (level > VEXO_LOG_INFO) {
    if (level == VEXO_LOG_ABORT) return {"<ABORT>\n", "</ABORT>\n"};
    return {"<WARNING>\n", "</WARNING>\n"};
  }
  if (level == VEXO_LOG_INFO) return {"<INFO>\n", "</INFO>\n"};
  if (level == VEXO_LOG_FAIL) return {"<FAIL>\n", "</FAIL>\n"};
  if (level == VEXO_LOG_SUCCESS) return {"<SUCCESS>\n", "</SUCCESS>\n"};
  return {"<WARNING>\n", "</WARNING>\n"};
}

const char* assertion_status_word(int32_t level) {
  switch (level) {
    case VEXO_LOG_SUCCESS: return "SUCCESS";
    case VEXO_LOG_INFO: return "INFORMATIONAL";
    case VEXO_LOG_WARNING: return "WARNING";
    case VEXO_LOG_ERROR: return "ERROR";
    case VEXO_LOG_ABORT: return "ABORT";
    case VEXO_LOG_FAIL: return "FAILED";
    default: return "UNKNOWN STATUS";
  }
}

const char* console_prefix(int32_t level) {
  switch (level) {
    case VEXO_LOG_INFO: return "INFO    ";
    case VEXO_LOG_WARNING: return "WARNING ";
    case VEXO_LOG_ERROR: return "ERROR   ";
    case VEXO_LOG_ABORT: return "ABORT   ";
    case VEXO_LOG_FAIL: return "FAIL    ";
    default: return "";
  }
}

}  // namespace vexo
