// Routing the system under test's configuration requests: root complex or card.
#include "sut/sut_access.h"

#include "base/pcie_regs.h"

namespace zamsim {

uint8_t sut_access::card_bus() {
  uint32_t buses = 0;
  if (root_complex_.read_dword(root_port_, pcie::primary_bus, buses) != completion::success) return 0;
  return static_cast<uint8_t>(buses >> 8);
}

sut_access::route sut_access::route_of(bdf target) {
  if (target.bus == root_port_.bus) return route::local;
  uint32_t buses = 0;
  if (root_complex_.read_dword(root_port_, pcie::primary_bus, buses) != completion::success) return route::nowhere;
  const uint8_t secondary = static_cast<uint8_t>(buses >> 8), subordinate = static_cast<uint8_t>(buses >> 16);
  if (secondary == 0 || target.bus < secondary || target.bus > subordinate) return route::nowhere;
  return target.bus == secondary ? route::card_type0 : route::card_type1;
}

completion sut_access::read_dword(bdf target, uint16_t offset, uint32_t& value) {
  switch (route_of(target)) {
    case route::local: return root_complex_.read_dword(target, offset, value);
    case route::card_type0: return card_.read_dword(false, target, offset, value);
    case route::card_type1: return card_.read_dword(true, target, offset, value);
    case route::nowhere: break;
  }
  value = 0xFFFFFFFFu;
  return completion::unsupported;
}

completion sut_access::write_dword(bdf target, uint16_t offset, uint8_t byte_enables, uint32_t value) {
  switch (route_of(target)) {
    case route::local: return root_complex_.write_dword(target, offset, byte_enables, value);
    case route::card_type0: return card_.write_dword(false, target, offset, byte_enables, value);
    case route::card_type1: return card_.write_dword(true, target, offset, byte_enables, value);
    case route::nowhere: break;
  }
  return completion::unsupported;
}

}  // namespace zamsim
