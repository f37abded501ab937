// The operator-input object behind a UI handle: input flag, dialog header, request slots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vexo.h"

namespace vexo {

class CVEXOUserInput {
 public:
  CVEXOUserInput() = default;
  CVEXOUserInput(const CVEXOUserInput&) = delete;
  CVEXOUserInput& operator=(const CVEXOUserInput&) = delete;
  virtual ~CVEXOUserInput() = default;                                                   // 0

  virtual VEXO_STATUS_t GetSelectionFromList(const std::string* prompt, const std::vector<std::string>* list,
                                             uint32_t* index, uint32_t timeout_ms, int force) = 0;  // 1
  virtual VEXO_STATUS_t GetMultipleSelectionsFromList(const std::string* prompt,
                                                      const std::vector<std::string>* list,
                                                      std::vector<uint32_t>* indices, uint32_t timeout_ms,
                                                      int force) = 0;                    // 2
  virtual VEXO_STATUS_t DisplayInfoToUser(const std::string* message, uint32_t timeout_ms, int wait_for_operator,
                                          CVEXOGuiEvent* event, int force,
                                          const std::string* button_label) = 0;          // 3
  virtual VEXO_STATUS_t GetBooleanDecision(const std::string* question, const std::string* yes_label,
                                           const std::string* no_label, int* answer, uint32_t timeout_ms,
                                           CVEXOGuiEvent* event, int force) = 0;         // 4
  virtual VEXO_STATUS_t GetInteger(const std::string* title, const std::string* prompt, uint32_t* value,
                                   int format, uint32_t timeout_ms, int force, uint32_t maximum,
                                   uint32_t minimum) = 0;                                // 5
  virtual VEXO_STATUS_t GetString(const std::string* title, const std::string* prompt, std::string* text,
                                  uint32_t timeout_ms, int force) = 0;                   // 6
  virtual VEXO_STATUS_t TerminateDialog() = 0;                                           // 7

  void EnableInput() { input_enabled_ = 1; }
  void DisableInput() { input_enabled_ = 0; }
  int32_t input_enabled() const { return input_enabled_; }
  void SetDialogHeader(const std::string& header) { header_ = header; }
  const std::string& dialog_header() const { return header_; }

 protected:
  // The input gate: a request goes ahead when forced or when input is enabled.
  bool gate_open(int force) const { return force != 0 || input_enabled_ != 0; }

 private:
  int32_t input_enabled_ = 0;
  std::string header_;
};

// Makes the UI object of the given kind for this library; null for a kind it does not build
// (the caller reports VEXO_STATUS_INVALID_PARAMETER). Each library defines it once.
// *out_of_memory is set when the kind is built but the object could not be allocated.
CVEXOUserInput* make_user_input(VEXO_UI_TYPE_t type, bool* out_of_memory);

}  // namespace vexo
