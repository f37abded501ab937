// Allocation that reports failure as null instead of throwing, with a fault hook for tests.
#pragma once

#include <cstddef>
#include <new>

namespace pellor::allocation {

// True when the next allocation may go ahead; consumes one permit while a limit is set.
bool permitted();

// Test hook: let `count` further allocations succeed, then fail every one after them.
void fail_after(int count);
// Test hook: remove the limit.
void allow_all();

// A value-initialised object, or null when allocation failed.
template <class T>
T* create() {
  return permitted() ? new (std::nothrow) T() : nullptr;
}

// `count` value-initialised objects, or null when allocation failed.
template <class T>
T* create_array(std::size_t count) {
  return permitted() ? new (std::nothrow) T[count]() : nullptr;
}

}  // namespace pellor::allocation
