// The dialog kind of operator input: real dialogs shown by Quillet, some on worker threads.
#pragma once

#include <memory>

#include "dialog_storage.h"
#include "ui/user_input.h"

namespace vexo {

class CDialogUserInput final : public CVEXOUserInput {
 public:
  CDialogUserInput();
  // Ends the worker-mode dialogs this object started.
  ~CDialogUserInput() override;

  VEXO_STATUS_t GetSelectionFromList(const std::string* prompt, const std::vector<std::string>* list,
                                     uint32_t* index, uint32_t timeout_ms, int force) override;
  VEXO_STATUS_t GetMultipleSelectionsFromList(const std::string* prompt, const std::vector<std::string>* list,
                                              std::vector<uint32_t>* indices, uint32_t timeout_ms,
                                              int force) override;
  VEXO_STATUS_t DisplayInfoToUser(const std::string* message, uint32_t timeout_ms, int wait_for_operator,
                                  CVEXOGuiEvent* event, int force, const std::string* button_label) override;
  VEXO_STATUS_t GetBooleanDecision(const std::string* question, const std::string* yes_label,
                                   const std::string* no_label, int* answer, uint32_t timeout_ms,
                                   CVEXOGuiEvent* event, int force) override;
  VEXO_STATUS_t GetInteger(const std::string* title, const std::string* prompt, uint32_t* value, int format,
                           uint32_t timeout_ms, int force, uint32_t maximum, uint32_t minimum) override;
  VEXO_STATUS_t GetString(const std::string* title, const std::string* prompt, std::string* text,
                          uint32_t timeout_ms, int force) override;
  VEXO_STATUS_t TerminateDialog() override;

 private:
  VEXO_STATUS_t start_display_worker(const std::string* message, uint32_t timeout_ms, int wait_for_operator,
                                     CVEXOGuiEvent* event, const std::string* button_label);
  VEXO_STATUS_t start_yes_no_worker(const std::string* question, const std::string* yes_label,
                                    const std::string* no_label, int* answer, uint32_t timeout_ms,
                                    CVEXOGuiEvent* event);

  int32_t last_answer_ = 0;
  uint32_t last_number_ = 0;
  std::shared_ptr<vexomin::dialog_storage> storage_;
};

}  // namespace vexo
