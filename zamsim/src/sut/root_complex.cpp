// Building the system under test's root complex.
#include "sut/root_complex.h"

#include "base/lattix_hierarchy.h"
#include "base/pcie_regs.h"
#include "base/port_straps.h"

namespace zamsim {

std::unique_ptr<hierarchy> make_root_complex(const std::string& script, std::string& error) {
  auto tree = make_lattix_hierarchy(script, error);
  if (!tree) return nullptr;
  // A topology script knows switch ports only; the wiring makes the first one a root port.
  if (const auto port = tree->script_device_at(sut_root_port_at)) {
    strap_port_type(*tree, *port, pcie::port_type_root_port, true);
  }
  return tree;
}

}  // namespace zamsim
