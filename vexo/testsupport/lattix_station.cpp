// A Lattix hierarchy as the fake drivers' configuration space.
#include "lattix_station.h"

#include <stdexcept>

#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/packet_handler.h"
#include "lattix/script_parser.h"
#include "lattix/topology.h"

namespace vexo_test {
namespace {

constexpr uint16_t primary_bus_register = 0x18;
constexpr uint16_t secondary_bus_register = 0x19;
constexpr uint16_t subordinate_bus_register = 0x1A;
constexpr uint16_t express_capabilities_register = 0x42;
constexpr uint32_t highest_bus = 255;
constexpr int deepest_hierarchy = 64;

}  // namespace

lattix_station::lattix_station(const std::string& script_path) {
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  if (!scriptParser(script_path.c_str(), devices, connections, count, topology_, handler_)) {
    throw std::runtime_error("topology script does not parse: " + script_path);
  }
  uint32_t next_bus = 1;
  number_bus(topology_->getRootBus(), 0, next_bus, 0);
}

lattix_station::~lattix_station() {
  delete handler_;
  delete topology_;
}

void lattix_station::number_bus(const void* on_bus, uint32_t bus_number, uint32_t& next_bus,
                                int depth) {
  const bus* current = static_cast<const bus*>(on_bus);
  if (current == nullptr || depth > deepest_hierarchy) return;
  for (int slot = 0; slot < bus::kSlots; ++slot) {
    device* dev = current->getDevice(slot);
    if (dev == nullptr) continue;
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
      if (!dev->isFunction(fn)) continue;
      functions_[{bus_number, static_cast<uint32_t>(slot), fn}] = {dev, fn};
      if (!dev->isBridge(fn) || dev->getDownstreamBus(fn) == nullptr || next_bus > highest_bus) {
        continue;
      }
      const uint32_t secondary = next_bus++;
      configSpace* space = dev->getFunction(fn);
      space->statusWrite(primary_bus_register, 1, bus_number);
      space->statusWrite(secondary_bus_register, 1, secondary);
      number_bus(dev->getDownstreamBus(fn), secondary, next_bus, depth + 1);
      space->statusWrite(subordinate_bus_register, 1, next_bus - 1);
    }
  }
}

std::vector<pellor::fake::function_address> lattix_station::functions() const {
  std::vector<pellor::fake::function_address> list;
  for (const auto& entry : functions_) list.push_back(entry.first);
  return list;
}

void lattix_station::set_register(const pellor::fake::function_address& where, uint16_t offset,
                                  int width, uint32_t value) {
  std::lock_guard lock(mutex_);
  const auto found = functions_.find(where);
  if (found == functions_.end()) throw std::out_of_range("no function there");
  found->second.first->getFunction(found->second.second)->statusWrite(offset, width, value);
}

uint32_t lattix_station::register_value(const pellor::fake::function_address& where,
                                        uint16_t offset, int width) {
  std::lock_guard lock(mutex_);
  const auto found = functions_.find(where);
  if (found == functions_.end()) throw std::out_of_range("no function there");
  return found->second.first->getFunction(found->second.second)->read(offset, width);
}

void lattix_station::set_port_type(const pellor::fake::function_address& where,
                                   uint32_t port_type) {
  set_register(where, express_capabilities_register, 1, (port_type << 4) | 0x1);
}

void lattix_station::read(const pellor::fake::function_address& where, uint32_t offset,
                          uint32_t length, uint8_t* out) {
  std::lock_guard lock(mutex_);
  const auto found = functions_.find(where);
  const bool answers = found != functions_.end() &&
                       !found->second.first->GetNoResponse(found->second.second);
  for (uint32_t i = 0; i < length; ++i) {
    out[i] = answers ? found->second.first->read1(found->second.second,
                                                   static_cast<uint16_t>(offset + i))
                     : 0xFF;
  }
}

void lattix_station::write(const pellor::fake::function_address& where, uint32_t offset,
                           uint32_t length, const uint8_t* in) {
  std::lock_guard lock(mutex_);
  const auto found = functions_.find(where);
  if (found == functions_.end()) return;
  for (uint32_t i = 0; i < length; ++i) {
    found->second.first->write1(found->second.second, static_cast<uint16_t>(offset + i), in[i]);
  }
}

}  // namespace vexo_test
