// The file behind a plain-text or XML log: every write checked, the first failure kept and
// said once on standard error with the file's name and the system's reason.
#pragma once

#include <string>
#include <string_view>

#include "platform/output_file.h"
#include "vexo.h"

namespace vexo {

class log_file {
 public:
  // Opens the file as a text-mode stream would; false (and said) when it does not open.
  bool open(const std::string& path, platform::output_mode mode);
  // VEXO_STATUS_LOG_NOT_OPEN without a file; VEXO_STATUS_LOG_WRITE_ERROR when this or an
  // earlier write failed (nothing more is written after a failure: the file is damaged).
  VEXO_STATUS_t write(std::string_view text);
  // Closes the file (a failure at close is kept like a failed write).
  void close();

  bool is_open() const { return file_.is_open(); }
  // VEXO_STATUS_SUCCESS while the file has kept everything; VEXO_STATUS_LOG_NOT_OPEN when
  // it did not open; VEXO_STATUS_LOG_WRITE_ERROR once a write or the close failed.
  VEXO_STATUS_t status() const { return status_; }

 private:
  void fail(VEXO_STATUS_t status, const char* what, const std::string& reason);

  platform::output_file file_;
  std::string path_;
  VEXO_STATUS_t status_ = VEXO_STATUS_SUCCESS;
  bool said_ = false;
};

}  // namespace vexo
