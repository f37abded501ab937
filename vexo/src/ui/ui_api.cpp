// Exported operator-input calls shared by the framework libraries.
#include <mutex>
#include <set>

#include "common/guarded.h"
#include "ui/ui_handle.h"

using vexo::CVEXOUserInput;
using vexo::guarded;
using vexo::ui_from_handle;

namespace {

std::mutex live_mutex;
std::set<CVEXOUserInput*>& live_objects() {
  static std::set<CVEXOUserInput*> objects;
  return objects;
}

}  // namespace

namespace vexo {

CVEXOUserInput* ui_from_handle(VEXO_UI_HANDLE_t handle) {
  std::lock_guard lock(live_mutex);
  const auto found = live_objects().find(static_cast<CVEXOUserInput*>(handle));
  return found == live_objects().end() ? nullptr : *found;
}

}  // namespace vexo

VEXO_API VEXO_STATUS_t CreateUI(VEXO_HANDLE_t, VEXO_UI_HANDLE_t* ui, VEXO_UI_TYPE_t type) {
  if (ui == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *ui = nullptr;
  return guarded([&]() -> VEXO_STATUS_t {
    bool out_of_memory = false;
    CVEXOUserInput* made = vexo::make_user_input(type, &out_of_memory);
    if (made == nullptr) return out_of_memory ? VEXO_STATUS_INSUFFICIENT_RESOURCES : VEXO_STATUS_INVALID_PARAMETER;
    std::lock_guard lock(live_mutex);
    live_objects().insert(made);
    *ui = made;
    return VEXO_STATUS_SUCCESS;
  });
}

// Destroys the object (ending its worker-mode dialogs first); the handle is then invalid.
VEXO_API VEXO_STATUS_t CloseUI(VEXO_UI_HANDLE_t ui) {
  CVEXOUserInput* object = nullptr;
  {
    std::lock_guard lock(live_mutex);
    const auto found = live_objects().find(static_cast<CVEXOUserInput*>(ui));
    if (found == live_objects().end()) return VEXO_STATUS_SUCCESS;
    object = *found;
    live_objects().erase(found);
  }
  delete object;
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t GetSelectionFromList(VEXO_UI_HANDLE_t ui, const std::string* prompt,
                                            const std::vector<std::string>* list, uint32_t* index,
                                            uint32_t timeout_ms, int force) {
  CVEXOUserInput* object = ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] { return object->GetSelectionFromList(prompt, list, index, timeout_ms, force); });
}

VEXO_API VEXO_STATUS_t DisplayInfoToUser(VEXO_UI_HANDLE_t ui, const std::string* message, int wait_for_operator,
                                         CVEXOGuiEvent* event, uint32_t timeout_ms, int force,
                                         const std::string* button_label) {
  CVEXOUserInput* object = ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] {
    return object->DisplayInfoToUser(message, timeout_ms, wait_for_operator, event, force, button_label);
  });
}

VEXO_API VEXO_STATUS_t GetBooleanDecision(VEXO_UI_HANDLE_t ui, const std::string* question,
                                          const std::string* yes_label, const std::string* no_label, int* answer,
                                          uint32_t timeout_ms, CVEXOGuiEvent* event, int force) {
  CVEXOUserInput* object = ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] {
    return object->GetBooleanDecision(question, yes_label, no_label, answer, timeout_ms, event, force);
  });
}

VEXO_API VEXO_STATUS_t GetInteger(VEXO_UI_HANDLE_t ui, const std::string* title, const std::string* prompt,
                                  uint32_t* value, int format, uint32_t maximum, uint32_t minimum,
                                  uint32_t timeout_ms, int force) {
  CVEXOUserInput* object = ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] {
    return object->GetInteger(title, prompt, value, format, timeout_ms, force, maximum, minimum);
  });
}

VEXO_API VEXO_STATUS_t GetString(VEXO_UI_HANDLE_t ui, const std::string* title, const std::string* prompt,
                                 std::string* text, uint32_t timeout_ms, int force) {
  CVEXOUserInput* object = ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] { return object->GetString(title, prompt, text, timeout_ms, force); });
}

VEXO_API VEXO_STATUS_t TerminateDialog(VEXO_UI_HANDLE_t ui) {
  CVEXOUserInput* object = ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] { return object->TerminateDialog(); });
}

VEXO_API VEXO_STATUS_t SetDialogHeader(VEXO_UI_HANDLE_t ui, const std::string* header) {
  CVEXOUserInput* object = ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return guarded([&] {
    object->SetDialogHeader(header != nullptr ? *header : std::string());
    return VEXO_STATUS_SUCCESS;
  });
}

VEXO_API VEXO_STATUS_t EnableInput(VEXO_UI_HANDLE_t ui) {
  CVEXOUserInput* object = ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  object->EnableInput();
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t DisableInput(VEXO_UI_HANDLE_t ui) {
  CVEXOUserInput* object = ui_from_handle(ui);
  if (object == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  object->DisableInput();
  return VEXO_STATUS_SUCCESS;
}

VEXO_API int IsInputDisabled(VEXO_UI_HANDLE_t ui) {
  CVEXOUserInput* object = ui_from_handle(ui);
  return object == nullptr ? 0 : object->input_enabled();
}
