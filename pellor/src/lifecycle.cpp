// Driver discovery at load time and release at unload or CloseDriver.
#include "lifecycle.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "allocation.h"
#include "driver_request.h"
#include "messages.h"
#include "state.h"
#include "tables.h"

namespace pellor {

constinit library_state state{};

namespace {

void print(const char* text) {
  std::printf("%s", text);
  std::fflush(stdout);
}

void print_bdf(const char* format, const bdf& address) {
  std::printf(format, static_cast<int>(address.bus), static_cast<int>(address.device),
              static_cast<int>(address.function));
  std::fflush(stdout);
}

// Interface paths of a family, cut to the list's capacity.
std::vector<std::string> interfaces_up_to(const platform::guid& family, uint32_t capacity) {
  std::vector<std::string> paths = platform::device_interfaces(family);
  if (paths.size() > capacity) paths.resize(capacity);
  return paths;
}

// Asks an identity request (known endpoint or Farrow port) on an opened handle.
bool ask_identity(platform::device_handle handle, uint32_t code, bdf& address) {
  PELLOR_IDENTITY_PACKET_t packet{};
  uint32_t returned = 0;
  // A short answer leaves the BDF unknown, so it counts as a failed request.
  if (!send_request(handle, code, &packet, sizeof packet, sizeof packet, &returned) ||
      returned < sizeof packet) {
    return false;
  }
  address = bdf{packet.bus, packet.device, packet.function};
  return true;
}

config_context* open_config_driver() {
  const std::vector<std::string> paths = platform::device_interfaces(platform::driver_class::config_space);
  config_context* context = allocation::create<config_context>();
  if (context == nullptr) return nullptr;
  std::fill(std::begin(context->handles), std::end(context->handles), platform::invalid_handle);
  if (!paths.empty()) {
    const platform::device_handle handle = platform::open_device(paths.front());
    if (handle != platform::invalid_handle) {
      context->handles[0] = handle;
      context->opened = 1;
    }
  }
  if (context->opened == 0) {
    delete context;
    return nullptr;
  }
  return context;
}

void announce_card(const card_record& card) {
  if ((card.flags & PELLOR_CARD_FLAG_ZAM_SPEC) == 0) return;
  if (card.port_type() == PELLOR_PORT_TYPE_FARROW) {
    print_bdf(message::farrow_implements_zam, card.address);
  } else if (card.port_type() == PELLOR_PORT_TYPE_ENDPOINT &&
             (card.flags & PELLOR_CARD_FLAG_KNOWN_ENDPOINT) != 0) {
    print_bdf(message::known_endpoint_implements_zam, card.address);
  }
}

void query_card(const std::string& path, card_record& card) {
  card.handle = platform::open_device(path);
  if (card.handle == platform::invalid_handle) return;
  PELLOR_CARD_QUERY_PACKET_t packet{};
  uint32_t returned = 0;
  if (!send_request(card.handle, PELLOR_IOCTL_CARD_QUERY, &packet, sizeof packet, sizeof packet,
                    &returned) ||
      returned < sizeof packet) {
    platform::close_device(card.handle);
    card.handle = platform::invalid_handle;
    return;
  }
  card.address = bdf{packet.bus, packet.device, packet.function};
  card.flags = packet.flags;
  std::copy(std::begin(packet.info), std::end(packet.info), std::begin(card.info));
  if (card.port_type() == PELLOR_PORT_TYPE_FARROW ||
      card.port_type() == PELLOR_PORT_TYPE_SECOND_PORT) {
    std::copy(std::begin(packet.port), std::end(packet.port), std::begin(card.port));
  }
  announce_card(card);
}

void discover_cards(card_context& context) {
  const auto paths = interfaces_up_to(platform::driver_class::zam_card, context.card_capacity);
  if (!paths.empty()) context.cards.reset(allocation::create_array<card_record>(context.card_capacity));
  if (context.cards) {
    for (const std::string& path : paths) query_card(path, context.cards[context.card_count++]);
  }
  if (context.card_count == 0) {
    print(message::no_zam_devices);
    context.cards.reset();
  }
}

void open_farrow_port(const std::string& path, endpoint_record& port) {
  port.handle = platform::open_device(path);
  if (port.handle == platform::invalid_handle) return;
  if (!ask_identity(port.handle, PELLOR_IOCTL_FARROW_IDENTITY, port.address)) {
    platform::close_device(port.handle);
    port.handle = platform::invalid_handle;
    return;
  }
  print_bdf(message::farrow_port_found, port.address);
}

void discover_farrow_ports(card_context& context) {
  const auto paths = interfaces_up_to(platform::driver_class::farrow_port, context.farrow_capacity);
  if (!paths.empty()) {
    context.farrows.reset(allocation::create_array<endpoint_record>(context.farrow_capacity));
  }
  if (context.farrows) {
    for (const std::string& path : paths) open_farrow_port(path, context.farrows[context.farrow_count++]);
  }
  if (context.farrow_count == 0) {
    print(message::no_farrow_ports);
    context.farrows.reset();
  }
}

// Null when neither a card nor a Farrow port was found (or the context could not be made).
card_context* discover_card_family() {
  card_context* context = allocation::create<card_context>();
  if (context == nullptr) {
    print(message::no_zam_devices);
    print(message::no_farrow_ports);
    return nullptr;
  }
  discover_cards(*context);
  discover_farrow_ports(*context);
  if (context->card_count == 0 && context->farrow_count == 0) {
    delete context;
    return nullptr;
  }
  return context;
}

// Only the first known-endpoint interface is used. Null when none answered.
kep_context* discover_known_endpoint() {
  const auto paths = interfaces_up_to(platform::driver_class::known_endpoint, 1);
  kep_context* context = allocation::create<kep_context>();
  if (context != nullptr && !paths.empty()) {
    context->records.reset(allocation::create_array<endpoint_record>(context->capacity));
  }
  if (context != nullptr && context->records) {
    endpoint_record& record = context->records[0];
    record.handle = platform::open_device(paths.front());
    if (record.handle != platform::invalid_handle) {
      if (ask_identity(record.handle, PELLOR_IOCTL_KEP_IDENTITY, record.address)) {
        context->count = 1;
      } else {
        platform::close_device(record.handle);
        record.handle = platform::invalid_handle;
      }
    }
  }
  if (context == nullptr || context->count == 0) {
    print(message::no_kep_devices);
    delete context;
    return nullptr;
  }
  return context;
}

void close_valid(endpoint_record* records, uint32_t count) {
  for (uint32_t i = 0; records != nullptr && i < count; ++i) {
    if (records[i].handle != platform::invalid_handle) platform::close_device(records[i].handle);
    records[i].handle = platform::invalid_handle;
  }
}

}  // namespace

bool initialise() {
  if (state.initialised) return true;
  state.card_table = {};
  state.kep_table = {};

  state.config = open_config_driver();
  if (state.config == nullptr) {
    // Without configuration access nothing else is of use: the other families wait.
    print(message::no_config_driver);
    return false;
  }
  state.card = discover_card_family();
  if (state.card != nullptr) fill_card_table(state.card_table);
  state.kep = discover_known_endpoint();
  if (state.kep != nullptr) fill_kep_table(state.kep_table);
  state.initialised = true;
  return true;
}

void close() {
  if (!state.initialised) return;
  if (state.config != nullptr) {
    for (uint32_t i = 0; i < state.config->opened; ++i) {
      platform::close_device(state.config->handles[i]);
    }
    delete state.config;
    state.config = nullptr;
  }
  if (state.card != nullptr) {
    for (uint32_t i = 0; state.card->cards && i < state.card->card_count; ++i) {
      card_record& card = state.card->cards[i];
      if (card.valid()) platform::close_device(card.handle);
      card.handle = platform::invalid_handle;
    }
    close_valid(state.card->farrows.get(), state.card->farrow_count);
    delete state.card;
    state.card = nullptr;
  }
  if (state.kep != nullptr) {
    close_valid(state.kep->records.get(), state.kep->count);
    delete state.kep;
    state.kep = nullptr;
  }
  state.initialised = false;
}

}  // namespace pellor
