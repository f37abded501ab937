// Every port of every shipped station reads as what it is: the Device/Port Type of each
// function agrees with the role its station gives it and with where it sits (a root port
// on the root bus, downstream ports below an upstream port, upstream ports and endpoints
// below a downstream-facing port). The system under test's root complex is walked too.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "station/lab_station.h"
#include "base/lattix_hierarchy.h"
#include "base/pcie_regs.h"
#include "sut/root_complex.h"

namespace zamsim {
namespace {

enum port_type : int {
  endpoint = 0,
  legacy_endpoint = 1,
  root_port = 4,
  upstream_port = 5,
  downstream_port = 6,
  pcie_to_pci_bridge = 7,
  integrated_endpoint = 9,
  event_collector = 10,
  root_bus = -1,  // stands for "no bridge above"
};

// The types a function may have below a bridge of type `above`.
const std::set<int>& allowed_below(int above) {
  static const std::map<int, std::set<int>> allowed = {
      {root_bus, {root_port, integrated_endpoint, event_collector}},
      {root_port, {endpoint, legacy_endpoint, upstream_port, pcie_to_pci_bridge}},
      {downstream_port, {endpoint, legacy_endpoint, upstream_port, pcie_to_pci_bridge}},
      {upstream_port, {downstream_port}},
  };
  static const std::set<int> none;
  const auto found = allowed.find(above);
  return found == allowed.end() ? none : found->second;
}

struct walked_function {
  bdf at;
  int type;
  int above;
};

int type_of(config_access& tree, bdf at) {
  uint8_t offset = read8(tree, at, pcie::capabilities_pointer) & 0xFC;
  for (int guard = 0; guard < 48 && offset >= 0x40; ++guard) {
    if (read8(tree, at, offset) == pcie::capability_id_pcie) return (read16(tree, at, offset + 2) >> 4) & 0xF;
    offset = read8(tree, at, offset + 1) & 0xFC;
  }
  return -2;  // no PCI Express capability
}

// Every PCI Express function from `bus` down, with the type of the bridge above it.
void walk(config_access& tree, uint8_t bus, int above, std::vector<walked_function>& out) {
  for (uint8_t device = 0; device < 32; ++device) {
    for (uint8_t function = 0; function < 8; ++function) {
      const bdf at{bus, device, function};
      if (read16(tree, at, pcie::vendor_id) == 0xFFFF) {
        if (function == 0) break;
        continue;
      }
      const uint8_t header = read8(tree, at, pcie::header_type);
      const int type = type_of(tree, at);
      if (type >= 0) out.push_back({at, type, above});
      const uint8_t secondary = read8(tree, at, pcie::secondary_bus);
      if ((header & pcie::header_type_mask) == 1 && secondary > bus) walk(tree, secondary, type, out);
      if (function == 0 && (header & pcie::header_type_multifunction) == 0) break;
    }
  }
}

void check_placement(const std::vector<walked_function>& functions) {
  for (const auto& f : functions) {
    EXPECT_EQ(allowed_below(f.above).count(f.type), 1u)
        << f.at.to_string() << " is of type " << f.type << " below a port of type " << f.above;
  }
}

TEST(StationPortTypes, EveryPortOfEveryShippedStationReadsAsItsRole) {
  int stations = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ZAMSIM_STATIONS)) {
    if (entry.path().extension() != ".station") continue;
    ++stations;
    SCOPED_TRACE(entry.path().filename().string());
    std::string error;
    auto config = load_station(entry.path().string(), error);
    ASSERT_TRUE(config) << error;
    auto tree = make_lattix_hierarchy(config->topology_path, error);
    ASSERT_TRUE(tree) << error;
    lab_station station(*config, std::move(tree));
    ASSERT_TRUE(station.boot(error)) << error;

    std::vector<walked_function> functions;
    walk(station.tree(), 0, root_bus, functions);
    ASSERT_FALSE(functions.empty());
    check_placement(functions);

    // The roles the station names.
    std::vector<std::pair<int, std::set<int>>> roles;
    for (const auto& port : config->root_ports) roles.push_back({port.device, {root_port}});
    roles.push_back({config->card_device, {upstream_port}});
    roles.push_back({config->card_port_device, {downstream_port}});
    roles.push_back({config->dut_device, {endpoint, legacy_endpoint}});
    roles.push_back({config->known_endpoint_device, {endpoint, legacy_endpoint}});
    for (const auto& [device, types] : roles) {
      if (device < 0) continue;
      const auto at = station.tree().locate(device);
      ASSERT_TRUE(at) << "script device " << device;
      bool walked = false;
      for (const auto& f : functions) {
        if (!(f.at == *at)) continue;
        walked = true;
        EXPECT_EQ(types.count(f.type), 1u) << "script device " << device << " is of type " << f.type;
      }
      EXPECT_TRUE(walked) << "script device " << device << " was not found below the root bus";
    }

    if (!config->sut_root_complex.empty()) {
      auto root_complex = make_root_complex(config->sut_root_complex, error);
      ASSERT_TRUE(root_complex) << error;
      std::vector<walked_function> system;
      walk(*root_complex, 0, root_bus, system);
      ASSERT_FALSE(system.empty());
      EXPECT_TRUE(system[0].at == sut_root_port_at);
      EXPECT_EQ(system[0].type, root_port) << "the system's root port";
      check_placement(system);
    }
  }
  EXPECT_GE(stations, 7);
}

}  // namespace
}  // namespace zamsim
