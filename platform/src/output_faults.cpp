// The output-file test seam: an in-process hook, or failures planned in ZAM_FILE_FAULTS.
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/fs.h"
#include "platform/output_file.h"
#include "platform/process.h"

namespace platform {
namespace {

std::mutex hook_mutex;
file_fault_hook current_hook;

std::string_view step_name(file_step step) {
  switch (step) {
    case file_step::open: return "open";
    case file_step::write: return "write";
    case file_step::close: return "close";
  }
  return "";
}

// The system's text for a failure kind; nothing for a word that is not a kind.
std::optional<std::string> kind_reason(std::string_view kind) {
  if (kind == "nospace") return std::string(std::strerror(ENOSPC));
  if (kind == "io") return std::string(std::strerror(EIO));
  if (kind == "denied") return std::string(std::strerror(EACCES));
  return std::nullopt;
}

// One rule "STEP:PATTERN" or "STEP:PATTERN:KIND" against a step on a path. A pattern may
// hold ':' (a drive letter): the last field is a kind only when it names one.
std::optional<std::string> rule_fault(std::string_view rule, file_step step, const std::string& path) {
  const std::size_t first = rule.find(':');
  if (first == std::string_view::npos || rule.substr(0, first) != step_name(step)) return std::nullopt;
  std::string_view pattern = rule.substr(first + 1);
  std::optional<std::string> reason;
  const std::size_t last = pattern.rfind(':');
  if (last != std::string_view::npos) reason = kind_reason(pattern.substr(last + 1));
  if (reason) {
    pattern = pattern.substr(0, last);
  } else {
    reason = kind_reason(step == file_step::open ? "denied" : "io");
  }
  if (!wildcard_match(pattern, path)) return std::nullopt;
  return reason;
}

}  // namespace

void set_file_fault_hook(file_fault_hook hook) {
  std::lock_guard lock(hook_mutex);
  current_hook = std::move(hook);
}

std::optional<std::string> planned_file_fault(file_step step, const std::string& path) {
  file_fault_hook hook;
  {
    std::lock_guard lock(hook_mutex);
    hook = current_hook;
  }
  if (hook) return hook(step, path);
  const std::string rules = get_environment("ZAM_FILE_FAULTS");
  std::size_t start = 0;
  while (start <= rules.size()) {
    std::size_t end = rules.find(';', start);
    if (end == std::string::npos) end = rules.size();
    if (auto reason = rule_fault(std::string_view(rules).substr(start, end - start), step, path)) return reason;
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace platform
