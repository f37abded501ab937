// Exported lifecycle calls that only the XML log answers.
#include "common/guarded.h"
#include "log/log_handle.h"
#include "vexo.h"
#include "xml/xml_log.h"

namespace {

vexo::CXmlVEXOLog* xml_log_from_handle(VEXO_LOG_HANDLE_t handle) {
  return dynamic_cast<vexo::CXmlVEXOLog*>(vexo::log_from_handle(handle));
}

}  // namespace

// Writes the test element directly: no start text, no bookkeeping, the name unused.
VEXO_API VEXO_STATUS_t StartTest(VEXO_LOG_HANDLE_t log, const char*,
                                 const VEXO_TEST_NUM_t* numbers, uint32_t count,
                                 VEXO_DEVICE_HANDLE_t device_under_test) {
  if (log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  vexo::CXmlVEXOLog* xml = xml_log_from_handle(log);
  if (xml == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return vexo::guarded([&] { return xml->WriteTestElement(numbers, count, device_under_test); });
}

VEXO_API VEXO_STATUS_t StartTestCase(VEXO_LOG_HANDLE_t log, const char*, const VEXO_TEST_NUM_t*,
                                     uint32_t) {
  if (log == nullptr || xml_log_from_handle(log) == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return VEXO_STATUS_SUCCESS;
}
