// The compliance programs the suite runs, in run order.
#pragma once

#include <string>
#include <vector>

namespace zamsuite {

const std::vector<std::string>& compliance_programs();
bool is_compliance_program(const std::string& name);

// The programs of a run: all, or those of `only`, minus those of `skip`, in run order.
std::vector<std::string> chosen_programs(const std::vector<std::string>& only, const std::vector<std::string>& skip);

}  // namespace zamsuite
