// Allocation permits: unlimited unless a test set a limit.
#include "allocation.h"

#include <atomic>

namespace pellor::allocation {
namespace {
std::atomic<int> remaining{-1};  // negative: no limit
}

bool permitted() {
  int current = remaining.load();
  while (current >= 0) {
    if (current == 0) return false;
    if (remaining.compare_exchange_weak(current, current - 1)) return true;
  }
  return true;
}

void fail_after(int count) { remaining.store(count < 0 ? 0 : count); }

void allow_all() { remaining.store(-1); }

}  // namespace pellor::allocation
