// The file behind a plain-text or XML log.
#include "log/log_file.h"

#include <cstdio>

namespace vexo {
namespace {

// The status's message, as the framework's message table gives it (vexomin has no table).
const char* status_text(VEXO_STATUS_t status) {
  return status == VEXO_STATUS_LOG_NOT_OPEN ? "VEXO :: LOG NOT OPEN" : "VEXO :: LOG WRITE ERROR";
}

}  // namespace

bool log_file::open(const std::string& path, platform::output_mode mode) {
  path_ = path;
  status_ = VEXO_STATUS_SUCCESS;
  std::string reason;
  if (path.empty()) {
    reason = "no file name was given";
  } else if (file_.open(path, mode, platform::output_kind::text, &reason)) {
    return true;
  }
  fail(VEXO_STATUS_LOG_NOT_OPEN, "cannot be opened", reason);
  return false;
}

VEXO_STATUS_t log_file::write(std::string_view text) {
  if (!file_.is_open()) return VEXO_STATUS_LOG_NOT_OPEN;
  if (status_ != VEXO_STATUS_SUCCESS) return status_;
  std::string reason;
  if (!file_.write(text, &reason)) fail(VEXO_STATUS_LOG_WRITE_ERROR, "cannot be written", reason);
  return status_;
}

void log_file::close() {
  if (!file_.is_open()) return;
  std::string reason;
  if (!file_.close(&reason) && status_ == VEXO_STATUS_SUCCESS) {
    fail(VEXO_STATUS_LOG_WRITE_ERROR, "cannot be closed", reason);
  }
}

void log_file::fail(VEXO_STATUS_t status, const char* what, const std::string& reason) {
  status_ = status;
  if (said_) return;
  said_ = true;
  std::fprintf(stderr, "%s: log file[%s] %s: %s\n", status_text(status), path_.c_str(), what,
               reason.c_str());
  std::fflush(stderr);
}

}  // namespace vexo
