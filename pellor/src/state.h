// The library's driver contexts and record lists, shared by discovery and the table slots.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "pellor/pellor.h"
#include "platform/devio.h"

namespace pellor {

struct bdf {
  uint32_t bus = 0;
  uint32_t device = 0;
  uint32_t function = 0;
  friend bool operator==(const bdf&, const bdf&) = default;
};

struct config_context {
  platform::device_handle handles[PELLOR_CONFIG_HANDLE_CAPACITY] = {};
  uint32_t capacity = PELLOR_CONFIG_HANDLE_CAPACITY;
  uint32_t opened = 0;  // requests always use handles[0]
};

// A known-endpoint or Farrow port interface and the BDF its driver reported.
struct endpoint_record {
  platform::device_handle handle = platform::invalid_handle;
  bdf address;
  std::mutex lock;  // kept with the record for the drivers' sake; this library never takes it

  // Records whose open or identity request failed never match a BDF.
  bool serves(const bdf& wanted) const {
    return handle != platform::invalid_handle && address == wanted;
  }
};

struct card_record {
  platform::device_handle handle = platform::invalid_handle;
  uint32_t flags = 0;
  bdf address;
  uint32_t port[3] = {};  // port types 5 and 6 only; port[0] is the bus behind the port
  uint32_t info[4] = {};  // kept as the driver reported them
  std::mutex lock;        // kept with the record; never taken

  uint32_t port_type() const {
    return (flags >> PELLOR_CARD_PORT_TYPE_SHIFT) & PELLOR_CARD_PORT_TYPE_MASK;
  }
  bool valid() const { return handle != platform::invalid_handle; }
};

struct kep_context {
  std::unique_ptr<endpoint_record[]> records;
  uint32_t count = 0;
  uint32_t capacity = PELLOR_KEP_CAPACITY;
  std::mutex lock;  // held only while the list is scanned
};

struct card_context {
  std::unique_ptr<card_record[]> cards;
  uint32_t card_capacity = PELLOR_CARD_CAPACITY;
  uint32_t card_count = 0;
  std::unique_ptr<endpoint_record[]> farrows;
  uint32_t farrow_count = 0;
  uint32_t farrow_capacity = PELLOR_FARROW_CAPACITY;
  std::mutex lock;  // covers both lists; held only while a list is scanned
};

// Library-wide state. Trivially destructible on purpose: the unload hook may run after the
// module's static destructors, so it owns nothing that a destructor would release.
struct library_state {
  bool initialised = false;
  config_context* config = nullptr;
  card_context* card = nullptr;
  kep_context* kep = nullptr;
  ZAM_LIB_INTERFACE_t card_table = {};
  KEP_LIB_INTERFACE_t kep_table = {};
};

extern constinit library_state state;

}  // namespace pellor
