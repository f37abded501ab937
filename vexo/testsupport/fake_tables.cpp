// In-process fake card, known-endpoint and configuration tables.
#include "fake_tables.h"

#include <algorithm>
#include <cstring>

#include "startup/driver_state.h"

namespace vexo_test {
namespace {

fake_card* active_card = nullptr;
fake_config_space* active_space = nullptr;

uint32_t answer(const char* slot, uint32_t bus, uint32_t device, uint32_t function,
                uint32_t argument = 0) {
  active_card->requests.push_back({slot, {bus, device, function}, argument});
  auto override_result = active_card->slot_result.find(slot);
  return override_result != active_card->slot_result.end() ? override_result->second
                                                           : active_card->result;
}

uint32_t out_word(const char* slot, uint32_t b, uint32_t d, uint32_t f, uint32_t* out,
                  uint32_t value) {
  const uint32_t status = answer(slot, b, d, f);
  if (status == 0) *out = value;
  return status;
}

uint32_t is_zam(uint32_t b, uint32_t d, uint32_t f) {
  return bdf{b, d, f} == active_card->card ? 1 : 0;
}
uint32_t get_trace_config(uint32_t b, uint32_t d, uint32_t f, uint32_t* v) {
  return out_word("GetTraceConfig", b, d, f, v, active_card->trace_config);
}
uint32_t set_trace_config(uint32_t b, uint32_t d, uint32_t f, uint32_t v) {
  const uint32_t status = answer("SetTraceConfig", b, d, f, v);
  if (status == 0) active_card->trace_config = v;
  return status;
}
uint32_t get_trace_byte_count(uint32_t b, uint32_t d, uint32_t f, uint32_t* v) {
  const int64_t count = active_card->announced_count >= 0
                            ? active_card->announced_count
                            : static_cast<int64_t>(active_card->trace.size());
  return out_word("GetTraceByteCount", b, d, f, v, static_cast<uint32_t>(count));
}
uint32_t write_pattern(uint32_t b, uint32_t d, uint32_t f, uint32_t v) {
  active_card->requests.push_back({"WritePatternToTrace", {b, d, f}, v});
  return 0;
}
uint32_t read_trace(uint32_t b, uint32_t d, uint32_t f, uint32_t* count, void* destination) {
  const uint32_t status = answer("ReadTrace", b, d, f, *count);
  if (status != 0) return status;
  const uint32_t copied =
      std::min<uint32_t>(*count, static_cast<uint32_t>(active_card->trace.size()));
  if (copied != 0) std::memcpy(destination, active_card->trace.data(), copied);
  *count = active_card->delivered_count >= 0 ? static_cast<uint32_t>(active_card->delivered_count)
                                             : copied;
  return 0;
}
uint32_t get_properties(uint32_t b, uint32_t d, uint32_t f, uint32_t* v) {
  return out_word("GetProperties", b, d, f, v, active_card->properties);
}
uint32_t command3(uint32_t b, uint32_t d, uint32_t f) { return answer("Command3", b, d, f); }
uint32_t disarm(uint32_t b, uint32_t d, uint32_t f) { return answer("Disarm", b, d, f); }
uint32_t get_action_count(uint32_t b, uint32_t d, uint32_t f, uint32_t* v) {
  return out_word("GetActionCount", b, d, f, v, active_card->action_count);
}
uint32_t arm(uint32_t b, uint32_t d, uint32_t f) { return answer("Arm", b, d, f); }
uint32_t program(uint32_t b, uint32_t d, uint32_t f, const void* map) {
  std::memcpy(active_card->programmed.data(), map, 48);
  return answer("ProgramCommand", b, d, f);
}
uint32_t set_mode(uint32_t b, uint32_t d, uint32_t f, uint32_t mode) {
  const uint32_t status = answer("SetMode", b, d, f, mode);
  if (status == 0) active_card->mode = mode;
  return status;
}
uint32_t get_mode(uint32_t b, uint32_t d, uint32_t f, uint32_t* v) {
  return out_word("GetMode", b, d, f, v, active_card->mode);
}
uint32_t suspend(uint32_t b, uint32_t d, uint32_t f) { return answer("SuspendLogging", b, d, f); }
uint32_t resume(uint32_t b, uint32_t d, uint32_t f) { return answer("ResumeLogging", b, d, f); }
uint32_t find_pair(uint32_t b, uint32_t d, uint32_t f, uint32_t* gb, uint32_t* gd, uint32_t* gf,
                   uint8_t* gconfig, uint32_t* pb, uint32_t* pd, uint32_t* pf, uint8_t* pconfig) {
  active_card->requests.push_back({"FindUpstreamPair", {b, d, f}, 0});
  if (!active_card->pair_found) return VEXO_STATUS_INVALID_PARAMETER;
  const fake_card& c = *active_card;
  *gb = c.grandparent.bus, *gd = c.grandparent.device, *gf = c.grandparent.function;
  *pb = c.parent.bus, *pd = c.parent.device, *pf = c.parent.function;
  std::memcpy(gconfig, c.grandparent_config.data(), 256);
  std::memcpy(pconfig, c.parent_config.data(), 256);
  return 0;
}

uint32_t read_config(uint32_t, uint32_t b, uint32_t d, uint32_t f, uint32_t offset,
                     uint32_t length, void* buffer) {
  auto found = active_space->functions.find({b, d, f});
  if (found == active_space->functions.end() || offset + length > 4096) return 0;
  std::memcpy(buffer, found->second.data() + offset, length);
  return length;
}
uint32_t write_config(uint32_t, uint32_t b, uint32_t d, uint32_t f, uint32_t offset,
                      uint32_t length, const void* buffer) {
  auto found = active_space->functions.find({b, d, f});
  if (found == active_space->functions.end() || offset + length > 4096) return 0;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  active_space->writes.push_back({{b, d, f}, offset, {bytes, bytes + length}});
  return length;
}
uint32_t is_kep(uint32_t b, uint32_t d, uint32_t f) {
  const auto& list = active_space->known_endpoints;
  return std::find(list.begin(), list.end(), bdf{b, d, f}) != list.end() ? 1 : 0;
}

}  // namespace

fake_card::fake_card() {
  active_card = this;
  table = ZAM_LIB_INTERFACE_t{is_zam,       get_trace_config, set_trace_config,
                              get_trace_byte_count, write_pattern, read_trace,
                              get_properties, command3, disarm, get_action_count, arm,
                              program,      set_mode,         get_mode,
                              suspend,      resume,           find_pair};
  vexo::driver_state().card_table = &table;
}

fake_card::~fake_card() {
  vexo::driver_state().card_table = nullptr;
  active_card = nullptr;
}

fake_config_space::fake_config_space() {
  active_space = this;
  vexo::driver_state().config_table.ReadConfig = read_config;
  vexo::driver_state().config_table.WriteConfig = write_config;
  kep_table.IsKepDevice = is_kep;
  vexo::driver_state().kep_table = &kep_table;
}

fake_config_space::~fake_config_space() {
  vexo::driver_state().config_table.ReadConfig = nullptr;
  vexo::driver_state().config_table.WriteConfig = nullptr;
  vexo::driver_state().kep_table = nullptr;
  active_space = nullptr;
}

std::vector<uint8_t>& fake_config_space::add(const bdf& where) {
  auto& bytes = functions[where];
  bytes.assign(4096, 0);
  return bytes;
}

void fake_config_space::put32(const bdf& where, uint32_t offset, uint32_t value) {
  std::memcpy(functions.at(where).data() + offset, &value, 4);
}

uint32_t fake_config_space::get32(const bdf& where, uint32_t offset) {
  uint32_t value = 0;
  std::memcpy(&value, functions.at(where).data() + offset, 4);
  return value;
}

}  // namespace vexo_test
