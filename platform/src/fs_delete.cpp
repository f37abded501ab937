// File deletion with its test seam, shared by every backend.
#include <mutex>

#include "fs_native.h"
#include "platform/fs.h"

namespace platform {
namespace {

std::mutex hook_mutex;
delete_hook current_hook;

}  // namespace

bool delete_file(const std::string& path, std::string* reason) {
  delete_hook hook;
  {
    std::lock_guard lock(hook_mutex);
    hook = current_hook;
  }
  std::string why;
  bool ok;
  if (hook) {
    ok = hook(path, why);
  } else {
    ok = detail::delete_file_native(path, why);
  }
  if (!ok && reason != nullptr) *reason = why;
  return ok;
}

void set_delete_hook(delete_hook hook) {
  std::lock_guard lock(hook_mutex);
  current_hook = std::move(hook);
}

}  // namespace platform
