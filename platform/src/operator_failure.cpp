// Why the last operator prompt went unanswered.
#include "operator_failure.h"

#include <iostream>
#include <mutex>

#include "platform/operator.h"

namespace platform {
namespace {

std::mutex failure_mutex;
std::string kept_failure;

}  // namespace

namespace detail {

void unanswered(const std::string& text) {
  std::cerr << text << "\n";
  std::lock_guard lock(failure_mutex);
  kept_failure = text;
}

void clear_unanswered() {
  std::lock_guard lock(failure_mutex);
  kept_failure.clear();
}

}  // namespace detail

std::string operator_failure() {
  std::lock_guard lock(failure_mutex);
  return kept_failure;
}

}  // namespace platform
