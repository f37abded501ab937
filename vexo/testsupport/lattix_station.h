// Configuration space for the fake drivers from a hierarchy that Lattix builds from a
// topology script. Bus numbers are given depth first, as a firmware would: the root bus is
// bus 0 and each bridge's secondary and subordinate bus registers are set accordingly.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "fake_drivers.h"

class device;
class packetHandler;
class topology;

namespace vexo_test {

class lattix_station : public pellor::fake::config_space_source {
 public:
  // Throws std::runtime_error when the script does not parse.
  explicit lattix_station(const std::string& script_path);
  ~lattix_station() override;
  lattix_station(const lattix_station&) = delete;
  lattix_station& operator=(const lattix_station&) = delete;

  // Every function of the hierarchy, in bus, device, function order.
  std::vector<pellor::fake::function_address> functions() const;
  // Sets a register directly (no write masks), e.g. to give a bridge its port type.
  void set_register(const pellor::fake::function_address& where, uint16_t offset, int width,
                    uint32_t value);
  // Reads a register as the hardware would answer.
  uint32_t register_value(const pellor::fake::function_address& where, uint16_t offset,
                          int width);
  // Sets the Device/Port Type of the function's PCI Express capability (at 0x40).
  void set_port_type(const pellor::fake::function_address& where, uint32_t port_type);

  void read(const pellor::fake::function_address& where, uint32_t offset, uint32_t length,
            uint8_t* out) override;
  void write(const pellor::fake::function_address& where, uint32_t offset, uint32_t length,
             const uint8_t* in) override;

 private:
  void number_bus(const void* on_bus, uint32_t bus_number, uint32_t& next_bus, int depth);

  std::mutex mutex_;
  topology* topology_ = nullptr;
  packetHandler* handler_ = nullptr;
  std::map<pellor::fake::function_address, std::pair<device*, uint8_t>> functions_;
};

}  // namespace vexo_test
