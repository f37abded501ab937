// The widths a PCI Express link can have; a negotiated width of 0 is a link that is down.
#pragma once

namespace zam {

constexpr bool is_link_width(unsigned int lanes) {
  return lanes == 1 || lanes == 2 || lanes == 4 || lanes == 8 || lanes == 12 || lanes == 16 ||
         lanes == 32;
}

}  // namespace zam
