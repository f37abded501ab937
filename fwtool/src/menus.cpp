// Main menu, category menus, run-all passes, corner-case settings and the results list.
#include "menus.h"

#include "platform/clock.h"

namespace fwtool {
namespace {

constexpr uint32_t cancelled = 0xFFFFFFFFu;

// One selection from a list; the chosen index, or cancelled when the operator cancelled
// or the dialog failed.
uint32_t select(VEXO_UI_HANDLE_t ui, const std::string& prompt, const std::vector<std::string>& entries,
                uint32_t initial, int force) {
  uint32_t index = initial;
  if (GetSelectionFromList(ui, &prompt, &entries, &index, 0, force) != VEXO_STATUS_SUCCESS) return cancelled;
  return index;
}

void show_waiting(VEXO_UI_HANDLE_t ui, const char* text) {
  const std::string message = text;
  const std::string button = "Continue";
  DisplayInfoToUser(ui, &message, 1, nullptr, 0, 1, &button);
}

}  // namespace

menus::menus(run_settings& settings, const hardware_interface& hardware, VEXO_LOG_HANDLE_t main_log,
             VEXO_UI_HANDLE_t menu_ui, VEXO_UI_HANDLE_t run_ui, std::string folder)
    : settings_(settings), context_{settings, hardware, main_log, run_ui, std::move(folder)}, menu_ui_(menu_ui) {}

void menus::set_input(bool enabled) {
  for (VEXO_UI_HANDLE_t ui : {menu_ui_, context_.run_ui}) {
    if (enabled) {
      EnableInput(ui);
    } else {
      DisableInput(ui);
    }
  }
}

void menus::run_main_menu() {
  set_input(true);
  for (;;) {
    const uint32_t index = select(menu_ui_, main_menu_title, main_menu(), cancelled, 1);
    if (index == cancelled || index >= main_exit) return;
    switch (index) {
      case main_run_all:
        results_.clear();
        for (main_entry entry : {main_base, main_topology, main_bridges, main_aspm_l0s, main_aspm_l1, main_corner}) {
          run_all(category_of(entry));
        }
        break;
      case main_hot_plug:
      case main_rom: show_not_supported(); break;
      default: category_menu(category_of(static_cast<main_entry>(index))); break;
    }
  }
}

void menus::category_menu(const category& cat) {
  const std::vector<std::string> entries = cat.menu();
  for (;;) {
    results_.clear();
    const uint32_t index = select(menu_ui_, cat.prompt, entries, cancelled, 1);
    if (index == cancelled || index + 1 >= entries.size()) return;
    if (index == 0) {
      run_all(cat);
      continue;
    }
    if (cat.cases[index - 1].script.empty()) {
      show_not_supported();
      continue;
    }
    case_result result;
    if (run_entry(cat, index - 1, false, false, result)) record(result.flags);
  }
}

void menus::run_all(const category& cat) {
  set_input(false);
  for (std::size_t i = 0; i < cat.cases.size(); ++i) {
    if (cat.cases[i].script.empty()) continue;
    for (int reruns = 0;; ++reruns) {
      if (settings_.automated) {
        platform::sleep_ms(settings_.automation_delay_ms);
      } else {
        show_waiting(context_.run_ui,
                     "Please Power Down The System Under Test.  Press Continue When The System Is Powered Down.");
      }
      case_result result;
      if (!run_entry(cat, i, true, reruns < max_reruns, result)) break;
      if (result.rerun) continue;
      record(result.flags);
      break;
    }
  }
  set_input(true);
  shown_results_ = results_;
  select(menu_ui_, "Test Results", results_.entries, 0, 0);
}

bool menus::run_entry(const category& cat, std::size_t index, bool prompt, bool offer_rerun, case_result& result) {
  const catalogue_case& entry = cat.cases[index];
  settings_.script_dir = context_.folder + "/Tests" + cat.directory;
  settings_.script_file = entry.script;
  settings_.test_name = entry.text;
  if (cat.corner_cases && !ask_corner_settings(index)) {
    settings_.behaviour = settings_.ini_behaviour;
    settings_.first_response_delay_ms = 0;
    return false;
  }
  result = run_case(context_, prompt, offer_rerun);
  // Corner-case settings last for one case; the ini's behaviour comes back.
  settings_.behaviour = settings_.ini_behaviour;
  settings_.first_response_delay_ms = 0;
  return true;
}

bool menus::ask_corner_settings(std::size_t index) {
  const std::string title =
      "Enter the delay after reset to when the device first responds to a configuration cycle in MS.";
  const std::string prompt = "Delay in MS";
  // Defaults stand when a dialog is not shown (input disabled during a run-all).
  const auto ask_delay = [&] {
    uint32_t delay = 0;
    if (GetInteger(menu_ui_, &title, &prompt, &delay, 0, 2000, 0, 0, 0) != VEXO_STATUS_SUCCESS) return false;
    settings_.first_response_delay_ms = delay;
    return true;
  };
  switch (index) {
    case 0: return ask_delay();
    case 1: {
      settings_.behaviour = crs_first;
      if (!ask_delay()) return false;
      static const std::vector<std::string> behaviours{"Normal Response", "Config Retry (First Response)",
                                                       "Config Retry (All Responses)",
                                                       "Invalid Packet (First Response)",
                                                       "Invalid Packet (All Responses)"};
      const uint32_t chosen =
          select(menu_ui_, "Select the device response behavior to the first configuration request.", behaviours,
                 crs_first, 0);
      if (chosen == cancelled || chosen >= behaviours.size()) return false;
      settings_.behaviour = chosen;
      return true;
    }
    case 3: settings_.behaviour = drop_all; return true;
    default: return true;
  }
}

void menus::record(uint32_t flags) {
  const std::string entry = std::string(verdict_prefix(flags)) + settings_.test_name;
  results_.entries.push_back(entry);
  if (flags & flag_failed) {
    ++results_.failed;
  } else if (std::string(verdict_text(flags)) == "Test Passed") {
    ++results_.passed;
  }
  const std::string text = entry + "\n\nTotal Number of Tests Run: " + std::to_string(results_.passed + results_.failed) +
                           "\n\n     Number of Tests Passed: " + std::to_string(results_.passed) +
                           "\n     Number of Tests Failed: " + std::to_string(results_.failed);
  DisplayInfoToUser(menu_ui_, &text, 0, nullptr, 2000, 1, nullptr);
}

void menus::show_not_supported() { show_waiting(context_.run_ui, not_supported_text); }

}  // namespace fwtool
