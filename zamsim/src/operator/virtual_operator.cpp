// The virtual operator's answers.
#include "operator/virtual_operator.h"

#include <cstdio>

namespace zamsim {

virtual_operator::virtual_operator(std::vector<std::string> script) : script_(script.begin(), script.end()) {}

bool virtual_operator::next_scripted(std::string& answer) {
  std::lock_guard lock(mutex_);
  if (script_.empty()) return false;
  answer = script_.front();
  script_.pop_front();
  return true;
}

platform::answer virtual_operator::answer(const std::string& caption, const std::string& text,
                                          platform::buttons choice) {
  std::string scripted;
  if (next_scripted(scripted)) {
    // A button label or its number among the prompt's buttons; anything else does not fit
    // and answers nothing, which programs take as a cancel.
    const auto buttons = platform::answers_of(choice);
    platform::answer given = platform::answer::none;
    if (!scripted.empty() && scripted.find_first_not_of("0123456789") == std::string::npos) {
      const unsigned long n = std::stoul(scripted.substr(0, 3));
      if (n >= 1 && n <= buttons.size()) given = buttons[n - 1];
    } else {
      const platform::answer label = platform::parse_answer(scripted);
      for (platform::answer b : buttons) {
        if (b == label) given = b;
      }
    }
    remember("operator: \"" + caption + "\": \"" + text + "\" -> " +
             (given == platform::answer::none ? std::string("no fitting answer") : std::string(platform::answer_label(given))) +
             " (scripted \"" + scripted + "\")");
    return given;
  }
  // A person at the bench does what the prompt asks and confirms: the first button is OK,
  // Yes, Retry or Abort, which is what each prompt of the suite expects for "done".
  act_on(text);
  const platform::answer given = platform::answers_of(choice).front();
  remember("operator: \"" + caption + "\": \"" + text + "\" -> " + std::string(platform::answer_label(given)));
  return given;
}

std::string virtual_operator::answer_dialog(uint32_t kind, const std::string& caption, const std::string& text) {
  act_on(text);
  static const char* const kinds[] = {"list", "multiple-selection list", "yes/no", "number", "text", "message"};
  std::string scripted;
  if (next_scripted(scripted)) {
    remember("operator: " + std::string(kind < 6 ? kinds[kind] : "unknown") + " dialog \"" + caption + "\": \"" +
             text + "\" -> scripted \"" + scripted + "\"");
    return scripted;
  }
  remember("operator: " + std::string(kind < 6 ? kinds[kind] : "unknown") + " dialog \"" + caption + "\": \"" +
           text + "\" -> first choice / default");
  return "@auto";
}

void virtual_operator::set_power_switch(std::function<void(bool)> power_switch) {
  std::lock_guard lock(mutex_);
  power_switch_ = std::move(power_switch);
}

void virtual_operator::act_on(const std::string& text) {
  std::function<void(bool)> power_switch;
  {
    std::lock_guard lock(mutex_);
    power_switch = power_switch_;
  }
  if (!power_switch) return;
  if (text.find("Power On the System Under Test") != std::string::npos) power_switch(true);
  if (text.find("Power Down The System Under Test") != std::string::npos) power_switch(false);
}

void virtual_operator::remember(std::string line) {
  // Every prompt and answer goes to the daemon's log as well.
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  std::lock_guard lock(mutex_);
  history_.push_back(std::move(line));
  if (history_.size() > 32) history_.pop_front();
}

std::string virtual_operator::describe() const {
  std::lock_guard lock(mutex_);
  std::string text = "operator: " + std::to_string(history_.size()) + " recent prompts\n";
  for (const auto& line : history_) text += "  " + line + "\n";
  return text;
}

}  // namespace zamsim
