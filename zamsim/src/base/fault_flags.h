// Station fault options: a table of fault names, each naming one flag of a fault set.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/name_list.h"

namespace zamsim {

template <typename Faults>
using fault_flag_table = std::vector<std::pair<std::string, bool& (*)(Faults&)>>;

template <typename Faults>
std::vector<std::string> fault_flag_names(const fault_flag_table<Faults>& table) {
  std::vector<std::string> names;
  for (const auto& [name, flag] : table) names.push_back(name);
  return names;
}

// Sets the flag of every name in the comma-separated `text`; an unknown name is an error.
template <typename Faults>
bool parse_fault_flags(const std::string& text, const fault_flag_table<Faults>& table, Faults& out,
                       std::string& error) {
  for (const std::string& name : split_names(text)) {
    bool known = false;
    for (const auto& [candidate, flag] : table) {
      if (candidate != name) continue;
      flag(out) = true;
      known = true;
    }
    if (!known) {
      error = "unknown fault \"" + name + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace zamsim
