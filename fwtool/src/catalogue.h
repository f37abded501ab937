// The test catalogue: the main menu and the categories of cases with their scripts.
#pragma once

#include <string>
#include <vector>

namespace fwtool {

struct catalogue_case {
  std::string text;    // the menu entry, also the test name
  std::string script;  // empty: not supported in this version
};

struct category {
  std::string prompt;
  std::string directory;            // below the scripts folder, e.g. "/LegacyTestCases"
  std::vector<catalogue_case> cases;  // menu entries 1..n
  bool corner_cases = false;        // entries run with the device response settings
  // The menu entries: "Run All Tests", the cases, "Exit".
  std::vector<std::string> menu() const;
};

enum main_entry : unsigned {
  main_run_all = 0,
  main_base = 1,
  main_topology = 2,
  main_bridges = 3,
  main_aspm_l0s = 4,
  main_aspm_l1 = 5,
  main_hot_plug = 6,
  main_rom = 7,
  main_corner = 8,
  main_exit = 9,
};

extern const char* const main_menu_title;
const std::vector<std::string>& main_menu();
// The category of a main menu entry (base, topology, bridges, L0s, L1, corner cases).
const category& category_of(main_entry entry);

extern const char* const not_supported_text;

}  // namespace fwtool
