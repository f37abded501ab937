// In-process fake drivers of the four driver families, answering from a configuration
// space source, with a log of every request they receive.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pellor/pellor.h"
#include "platform/devio.h"

namespace pellor::fake {

struct function_address {
  uint32_t bus = 0;
  uint32_t device = 0;
  uint32_t function = 0;
  friend auto operator<=>(const function_address&, const function_address&) = default;
};

// Where the fake drivers read and write configuration space. Another source (for example a
// simulated hierarchy) can stand behind the same drivers.
class config_space_source {
 public:
  virtual ~config_space_source() = default;
  // Absent functions read as all ones, like a master abort.
  virtual void read(const function_address& where, uint32_t offset, uint32_t length,
                    uint8_t* out) = 0;
  virtual void write(const function_address& where, uint32_t offset, uint32_t length,
                     const uint8_t* in) = 0;
};

// Plain 4096-byte arrays per function; writes store every byte.
class byte_array_config_space : public config_space_source {
 public:
  // Adds a function with its vendor and device ID and header type; returns its bytes.
  std::vector<uint8_t>& add_function(const function_address& where, uint16_t vendor_id,
                                     uint16_t device_id, uint8_t header_type = 0);
  // Adds a PCI-to-PCI bridge (header type 1) with its primary and secondary bus numbers.
  std::vector<uint8_t>& add_bridge(const function_address& where, uint8_t secondary_bus,
                                   uint8_t subordinate_bus);
  std::vector<uint8_t>& bytes(const function_address& where);

  void read(const function_address& where, uint32_t offset, uint32_t length,
            uint8_t* out) override;
  void write(const function_address& where, uint32_t offset, uint32_t length,
             const uint8_t* in) override;

 private:
  std::mutex mutex_;
  std::map<function_address, std::vector<uint8_t>> functions_;
};

struct recorded_request {
  std::string path;
  uint32_t code = 0;
  std::vector<uint8_t> in;
  uint32_t out_capacity = 0;
};

class fake_drivers {
 public:
  explicit fake_drivers(std::shared_ptr<config_space_source> space);

  // Each call adds one interface, listed after those of its family already added; the
  // returned path names it in the request log and in fault rules.
  std::string add_config_driver();
  std::string add_known_endpoint(const function_address& identity);
  std::string add_card(const PELLOR_CARD_QUERY_PACKET_t& identity);
  std::string add_farrow_port(const function_address& identity);

  // The word that query commands of the card driver answer with.
  void set_card_answer(uint32_t word);
  // The trace bytes that the card driver delivers on a trace read.
  void set_trace(std::vector<uint8_t> bytes);

  // Request logging (on by default; benchmarks turn it off).
  void record_requests(bool on);
  std::vector<recorded_request> requests() const;
  std::vector<recorded_request> requests_to(const std::string& path) const;
  void clear_requests();

  std::shared_ptr<platform::inprocess_provider> provider() const { return provider_; }

 private:
  struct shared;
  std::shared_ptr<shared> shared_;
  std::shared_ptr<platform::inprocess_provider> provider_;
  int next_index_ = 0;
};

// A card query record for tests: port type, flags and the bus behind a Farrow port.
PELLOR_CARD_QUERY_PACKET_t card_identity(const function_address& where, uint32_t port_type,
                                         uint32_t extra_flags = 0, uint32_t bus_behind = 0);

}  // namespace pellor::fake
