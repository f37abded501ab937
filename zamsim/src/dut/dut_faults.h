// The device under test's faults, one behaviour each, as a station names them in
// `[DUT] Fault = <name>, <name>, ...`: parsed once into flags that the link and the device
// consult at the one decision each changes.
#pragma once

#include <string>
#include <vector>

#include "link/data_link.h"

namespace zamsim {

struct dut_faults {
  link_faults link;  // no-replay-on-nak ... early-rollover
  bool short_completion_timeout = false;
  bool no_completion_timeout = false;
  bool no_error_messages = false;
  bool wrong_completer_id = false;
  bool answers_missing_functions = false;
  bool trains_narrow = false;
  bool zero_link_width = false;  // Link Capabilities report Max Link Width 0: the link trains x0
};

// Every fault name, in the order zam-lab(7) documents them.
const std::vector<std::string>& dut_fault_names();

// Parses a comma-separated list of fault names (blanks around names ignored, empty list
// allowed); false with `error` naming the first unknown name.
bool parse_dut_faults(const std::string& text, dut_faults& out, std::string& error);

}  // namespace zamsim
