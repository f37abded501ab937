// The silent operator-input kind: every request succeeds at once without asking anybody.
#pragma once

#include "ui/user_input.h"

namespace vexo {

class CDummyUserInput final : public CVEXOUserInput {
 public:
  VEXO_STATUS_t GetSelectionFromList(const std::string*, const std::vector<std::string>*, uint32_t*, uint32_t,
                                     int) override {
    return VEXO_STATUS_SUCCESS;
  }
  VEXO_STATUS_t GetMultipleSelectionsFromList(const std::string*, const std::vector<std::string>*,
                                              std::vector<uint32_t>*, uint32_t, int) override {
    return VEXO_STATUS_SUCCESS;
  }
  VEXO_STATUS_t DisplayInfoToUser(const std::string*, uint32_t, int, CVEXOGuiEvent*, int,
                                  const std::string*) override {
    return VEXO_STATUS_SUCCESS;
  }
  VEXO_STATUS_t GetBooleanDecision(const std::string*, const std::string*, const std::string*, int*, uint32_t,
                                   CVEXOGuiEvent*, int) override {
    return VEXO_STATUS_SUCCESS;
  }
  VEXO_STATUS_t GetInteger(const std::string*, const std::string*, uint32_t*, int, uint32_t, int, uint32_t,
                           uint32_t) override {
    return VEXO_STATUS_SUCCESS;
  }
  VEXO_STATUS_t GetString(const std::string*, const std::string*, std::string*, uint32_t, int) override {
    return VEXO_STATUS_SUCCESS;
  }
  VEXO_STATUS_t TerminateDialog() override { return VEXO_STATUS_SUCCESS; }
};

}  // namespace vexo
