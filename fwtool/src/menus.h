// The operator's way through the catalogue: main menu, category menus, run-all, results.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue.h"
#include "run_case.h"

namespace fwtool {

struct results_list {
  std::vector<std::string> entries;
  uint32_t passed = 0;
  uint32_t failed = 0;
  void clear() {
    entries.clear();
    passed = failed = 0;
  }
};

// Most reruns of one case that an operator can ask for in a run-all.
inline constexpr int max_reruns = 3;

class menus {
 public:
  menus(run_settings& settings, const hardware_interface& hardware, VEXO_LOG_HANDLE_t main_log,
        VEXO_UI_HANDLE_t menu_ui, VEXO_UI_HANDLE_t run_ui, std::string folder);

  // Runs the main menu until "Exit", a cancel or a dialog that fails.
  void run_main_menu();
  // The results list as the last run-all showed it.
  const results_list& shown_results() const { return shown_results_; }

 private:
  void category_menu(const category& cat);
  void run_all(const category& cat);
  // Runs entry `index` (0-based case) of a category; false when the operator cancelled
  // one of the case's own dialogs and nothing ran.
  bool run_entry(const category& cat, std::size_t index, bool prompt, bool offer_rerun, case_result& result);
  bool ask_corner_settings(std::size_t index);
  void record(uint32_t flags);
  void show_not_supported();
  void set_input(bool enabled);

  run_settings& settings_;
  case_context context_;
  VEXO_UI_HANDLE_t menu_ui_;
  results_list results_;
  results_list shown_results_;
};

}  // namespace fwtool
