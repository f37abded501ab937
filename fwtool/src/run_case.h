// Running one test case: build the hierarchy, answer the firmware's requests, judge.
#pragma once

#include <cstdint>
#include <string>

#include "hardware_binding.h"
#include "run_settings.h"
#include "vexo.h"
#include "vexo_ui.h"

namespace fwtool {

// Read buffer of the run loop: whole words, with room for any request the card sends.
inline constexpr uint32_t request_buffer_bytes = 64;

struct case_context {
  const run_settings& settings;
  const hardware_interface& hardware;
  VEXO_LOG_HANDLE_t main_log;
  VEXO_UI_HANDLE_t run_ui;
  std::string folder;  // the current folder: logs are written below it
};

struct case_result {
  uint32_t flags = 0;
  bool rerun = false;  // the operator asked to run the case again
};

// Runs the case named by the settings' script and test name; `prompt` is the prompt flag.
// `offer_rerun` false: the operator has had all the reruns of this case already.
case_result run_case(const case_context& context, bool prompt, bool offer_rerun = true);

}  // namespace fwtool
