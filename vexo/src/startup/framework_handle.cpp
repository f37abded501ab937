// The framework handle and the registry that keeps every handle until the process ends.
#include "startup/framework_handle.h"

#include <memory>
#include <new>
#include <vector>

namespace vexo {
namespace {

std::vector<std::unique_ptr<framework_handle>>& handed_out_handles() {
  static std::vector<std::unique_ptr<framework_handle>> handles;
  return handles;
}

}  // namespace

framework_handle* make_framework_handle() {
  auto handle = std::unique_ptr<framework_handle>(new (std::nothrow) framework_handle{});
  if (!handle) return nullptr;
  handle->user_tag = framework_user_tag;
  init_list(handle->found_devices);
  init_list(handle->spare_list);
  try {
    handed_out_handles().push_back(std::move(handle));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return handed_out_handles().back().get();
}

}  // namespace vexo
