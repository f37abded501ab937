// Warnings about environment settings that fall back to their default.
#include "setting_warning.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

namespace platform {

void warn_unusable_setting(const char* name, const char* value, const char* fallback) {
  static std::mutex lock;
  static std::set<std::string>* warned = new std::set<std::string>;  // outlives static objects
  std::lock_guard guard(lock);
  if (!warned->insert(std::string(name) + "=" + value).second) return;
  std::fprintf(stderr, "zam: %s=\"%s\" is not a usable value; using %s\n", name, value, fallback);
  std::fflush(stderr);
}

}  // namespace platform
