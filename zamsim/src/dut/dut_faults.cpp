// Parsing the DUT's fault names into flags.
#include "dut/dut_faults.h"

#include "base/fault_flags.h"

namespace zamsim {
namespace {

const fault_flag_table<dut_faults>& table() {
  static const fault_flag_table<dut_faults> names = {
      {"no-replay-on-nak", [](dut_faults& f) -> bool& { return f.link.no_replay_on_nak; }},
      {"no-replay-rollover", [](dut_faults& f) -> bool& { return f.link.no_replay_rollover; }},
      {"no-replay-timer", [](dut_faults& f) -> bool& { return f.link.no_replay_timer; }},
      {"accepts-bad-lcrc", [](dut_faults& f) -> bool& { return f.link.accepts_bad_lcrc; }},
      {"accepts-duplicates", [](dut_faults& f) -> bool& { return f.link.accepts_duplicates; }},
      {"ignores-bad-dllp", [](dut_faults& f) -> bool& { return f.link.ignores_bad_dllp; }},
      {"reserved-dllp-bits-error", [](dut_faults& f) -> bool& { return f.link.reserved_dllp_bits_error; }},
      {"ignores-bogus-ack", [](dut_faults& f) -> bool& { return f.link.ignores_bogus_ack; }},
      {"early-rollover", [](dut_faults& f) -> bool& { return f.link.early_rollover; }},
      {"short-completion-timeout", [](dut_faults& f) -> bool& { return f.short_completion_timeout; }},
      {"no-completion-timeout", [](dut_faults& f) -> bool& { return f.no_completion_timeout; }},
      {"no-error-messages", [](dut_faults& f) -> bool& { return f.no_error_messages; }},
      {"wrong-completer-id", [](dut_faults& f) -> bool& { return f.wrong_completer_id; }},
      {"answers-missing-functions", [](dut_faults& f) -> bool& { return f.answers_missing_functions; }},
      {"trains-narrow", [](dut_faults& f) -> bool& { return f.trains_narrow; }},
      {"zero-link-width", [](dut_faults& f) -> bool& { return f.zero_link_width; }},
  };
  return names;
}

}  // namespace

const std::vector<std::string>& dut_fault_names() {
  static const std::vector<std::string> names = fault_flag_names(table());
  return names;
}

bool parse_dut_faults(const std::string& text, dut_faults& out, std::string& error) {
  return parse_fault_flags(text, table(), out, error);
}

}  // namespace zamsim
