// The system under test's configuration path: its root complex answers bus 0 itself; the
// root port forwards every bus in its secondary..subordinate range to the card, Type 0
// for every device number on its secondary bus.
#pragma once

#include "base/hierarchy.h"
#include "sut/card_link.h"

namespace zamsim {

class sut_access : public config_access {
 public:
  sut_access(hierarchy& root_complex, bdf root_port, card_link_access& card)
      : root_complex_(root_complex), root_port_(root_port), card_(card) {}

  completion read_dword(bdf target, uint16_t offset, uint32_t& value) override;
  completion write_dword(bdf target, uint16_t offset, uint8_t byte_enables, uint32_t value) override;

  // The root port's secondary bus, 0 while it has none.
  uint8_t card_bus();

 private:
  enum class route { local, card_type0, card_type1, nowhere };
  route route_of(bdf target);

  hierarchy& root_complex_;
  bdf root_port_;
  card_link_access& card_;
};

}  // namespace zamsim
