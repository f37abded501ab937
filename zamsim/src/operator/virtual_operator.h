// The virtual operator: answers each prompt as a person at the bench would, or as its
// station's script says, and logs it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/operator.h"

namespace zamsim {

class virtual_operator {
 public:
  // `script`: answers to give first, one per prompt or dialog, in the syntax of answer
  // script files (a button label or its number, "@cancel", "@timeout", a dialog reply);
  // once they are used up, the operator answers as a person at the bench would.
  explicit virtual_operator(std::vector<std::string> script = {});

  // Answers a prompt: OK, Continue, Yes, the first choice. Returns the answer.
  platform::answer answer(const std::string& caption, const std::string& text, platform::buttons choice);
  // Answers a dialog of the dialog library (kind as platform::dialog_kind numbers it):
  // returns the answer as a script line, "@auto" for the first choice, yes, the default
  // number or OK.
  std::string answer_dialog(uint32_t kind, const std::string& caption, const std::string& text);
  // Called with true when a prompt asks to power the system under test on, false when it
  // asks to power it down; the operator does so before answering.
  void set_power_switch(std::function<void(bool on)> power_switch);
  // The last prompts and answers, oldest first.
  std::string describe() const;

 private:
  mutable std::mutex mutex_;
  void remember(std::string line);
  bool next_scripted(std::string& answer);
  void act_on(const std::string& text);

  std::function<void(bool)> power_switch_;

  std::deque<std::string> history_;
  std::deque<std::string> script_;
};

}  // namespace zamsim
