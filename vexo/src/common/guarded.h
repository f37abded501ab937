// Keeping exceptions inside the library: every exported call returns a status instead.
#pragma once

#include <new>

#include "vexo.h"

namespace vexo {

// Runs an exported operation; running out of memory becomes
// VEXO_STATUS_INSUFFICIENT_RESOURCES, anything else unexpected VEXO_STATUS_FAILED.
template <typename Operation>
VEXO_STATUS_t guarded(Operation operation) {
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  } catch (...) {
    return VEXO_STATUS_FAILED;
  }
}

}  // namespace vexo
