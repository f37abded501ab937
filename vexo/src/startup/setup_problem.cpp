// The cause of a failed start-up, and the drivers' trouble the driver library reports.
#include "startup/setup_problem.h"

#include <cstdint>
#include <cstdio>

#include "platform/library.h"
#include "startup/driver_state.h"
#include "vexo.h"

namespace vexo {
namespace {

// Optional export of the driver library: fills the text and returns 1 when its drivers
// stopped answering.
constexpr const char* trouble_entry = "Pellor_GetDriverTrouble";
using trouble_report = uint32_t (*)(char* text, uint32_t size);

std::string& kept_problem() {
  static std::string text;
  return text;
}

}  // namespace

void clear_startup_problem() { kept_problem().clear(); }

void keep_startup_problem(const std::string& text) {
  if (kept_problem().empty()) kept_problem() = text;
}

void report_startup_problem(const std::string& text) {
  std::fprintf(stderr, "VEXO start-up: %s\n", text.c_str());
  std::fflush(stderr);
  keep_startup_problem(text);
}

std::string startup_problem() { return kept_problem(); }

std::string driver_library_trouble() {
  const process_driver_state& state = driver_state();
  if (!state.library) return {};
  auto report = reinterpret_cast<trouble_report>(
      platform::find_symbol(state.library->module, trouble_entry));
  if (report == nullptr) return {};
  char text[512] = {};
  return report(text, sizeof text) != 0 ? std::string(text) : std::string();
}

}  // namespace vexo

VEXO_API int VEXO_GetSetupProblem(char* text, unsigned int size) {
  std::string problem = vexo::startup_problem();
  if (problem.empty()) problem = vexo::driver_library_trouble();
  if (text != nullptr && size > 0) std::snprintf(text, size, "%s", problem.c_str());
  return problem.empty() ? 0 : 1;
}
