// The known-endpoint table's one slot.
#include "state.h"
#include "tables.h"

namespace pellor {
namespace {

uint32_t is_kep_device(uint32_t bus, uint32_t device, uint32_t function) {
  kep_context* context = state.kep;
  if (context == nullptr || !context->records) return 0;
  const bdf address{bus, device, function};
  std::lock_guard lock(context->lock);
  for (uint32_t i = 0; i < context->count; ++i) {
    if (context->records[i].serves(address)) return 1;
  }
  return 0;
}

}  // namespace

void fill_kep_table(KEP_LIB_INTERFACE_t& table) { table.IsKepDevice = is_kep_device; }

}  // namespace pellor
