// The exports only vexomin has, and its start-up calls that do nothing.
#include "common/guarded.h"
#include "ui/ui_handle.h"
#include "vexomin.h"

// No framework to open: the out handle is left as the caller set it.
VEXO_API VEXO_STATUS_t OpenVEXO(VEXO_HANDLE_t*, int, uint64_t, const char*, const char*) {
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t CloseVEXO(VEXO_HANDLE_t) { return VEXO_STATUS_SUCCESS; }

VEXO_API VEXO_STATUS_t GetMultipleSelectionsFromList(VEXO_UI_HANDLE_t ui, const std::string* prompt,
                                                     const std::vector<std::string>* list,
                                                     std::vector<uint32_t>* indices, uint32_t timeout_ms,
                                                     int force) {
  vexo::CVEXOUserInput* object = vexo::ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return vexo::guarded(
      [&] { return object->GetMultipleSelectionsFromList(prompt, list, indices, timeout_ms, force); });
}
