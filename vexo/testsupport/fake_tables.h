// In-process fake card, known-endpoint and configuration tables installed straight into the
// framework's driver state, with a log of every card request.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "vexo.h"

namespace vexo_test {

struct bdf {
  uint32_t bus = 0, device = 0, function = 0;
  friend auto operator<=>(const bdf&, const bdf&) = default;
};

// One request that reached a card slot.
struct card_request {
  std::string slot;
  bdf where;
  uint32_t argument = 0;
  friend bool operator==(const card_request&, const card_request&) = default;
};

// A card behind a fake card table. Only one is installed at a time.
class fake_card {
 public:
  fake_card();   // installs the card table; IsZamDevice answers for `card`
  ~fake_card();  // removes it
  fake_card(const fake_card&) = delete;
  fake_card& operator=(const fake_card&) = delete;

  // Behaviour.
  bdf card{4, 0, 0};
  uint32_t result = 0;                         // every command slot's result
  std::map<std::string, uint32_t> slot_result;  // per-slot override
  uint32_t trace_config = 0;
  uint32_t mode = 0, properties = 0, action_count = 0;
  std::vector<uint8_t> trace;
  int64_t announced_count = -1;  // GetTraceByteCount's answer; -1: trace.size()
  int64_t delivered_count = -1;  // what ReadTrace claims to deliver; -1: all it can
  bool pair_found = false;
  bdf grandparent, parent;
  std::array<uint8_t, 256> grandparent_config{}, parent_config{};

  // Observations.
  std::vector<card_request> requests;
  std::array<uint8_t, 48> programmed{};

  ZAM_LIB_INTERFACE_t table{};  // tests may null a slot
};

// Configuration space per function, behind a fake configuration table; writes are logged.
class fake_config_space {
 public:
  fake_config_space();
  ~fake_config_space();
  fake_config_space(const fake_config_space&) = delete;
  fake_config_space& operator=(const fake_config_space&) = delete;

  std::vector<uint8_t>& add(const bdf& where);  // 4096 zero bytes
  void put32(const bdf& where, uint32_t offset, uint32_t value);
  uint32_t get32(const bdf& where, uint32_t offset);

  struct write_record {
    bdf where;
    uint32_t offset;
    std::vector<uint8_t> bytes;
  };
  std::vector<write_record> writes;
  std::map<bdf, std::vector<uint8_t>> functions;
  std::vector<bdf> known_endpoints;  // answered by the known-endpoint table
  KEP_LIB_INTERFACE_t kep_table{};
};

}  // namespace vexo_test
