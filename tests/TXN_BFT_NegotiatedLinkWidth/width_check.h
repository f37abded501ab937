// The link width check of TXN_BFT_NegotiatedLinkWidth: the DUT's maximum and negotiated
// widths against those of the root port it is plugged into.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vexo.h"

namespace nlw {

// Plugging statuses of one root port slot: 0 failed, 1 passed, 2 not tested.
struct plugging {
  int up = 2;
  int equal = 2;
  int down = 2;
};

struct widths {
  unsigned int dut_max, dut_negotiated, port_max, port_negotiated;
};

// Sets the slot's plugging values and returns 0 or 0x80000006; `lines` receives the INFO
// texts in order. A DUT wider than its slot passes when it trains at the slot's width. A
// width that no PCI Express link has (x0: a link that is down, x3, ...) fails the check and
// leaves the plugging values untested.
VEXO_STATUS_t check_widths(const widths& w, plugging& slot, std::vector<std::string>& lines);

}  // namespace nlw
