// CRawTextVEXOLog: a plain-text log file that receives exactly the texts written to it.
#pragma once

#include <optional>
#include <string>

#include "log/log_file.h"
#include "log/vexo_log.h"

namespace vexo {

class CRawTextVEXOLog : public CVEXOLog {
 public:
  // Opens the file for appending; a null name or a file that will not open leaves the log
  // without a file (writes then answer VEXO_STATUS_LOG_NOT_OPEN; the failure is said on
  // standard error and Close reports it).
  CRawTextVEXOLog(const char* file_name, const log_flavour& flavour);
  ~CRawTextVEXOLog() override;

  VEXO_STATUS_t Reset() override;
  VEXO_STATUS_t LogAssert(int32_t level, const VEXO_TEST_NUM_t& number,
                          const std::string& message) override;
  VEXO_STATUS_t Write(int32_t level, const std::string& text) override;
  // Closes the file: VEXO_STATUS_SUCCESS when no file was asked for or the file kept every
  // write, VEXO_STATUS_LOG_NOT_OPEN when it never opened, else VEXO_STATUS_LOG_WRITE_ERROR.
  VEXO_STATUS_t Close() override;

  bool file_open() const { return file_.is_open(); }
  const std::optional<std::string>& file_name() const { return file_name_; }

 private:
  std::optional<std::string> file_name_;
  log_file file_;
  bool file_asked_ = false;
};

}  // namespace vexo
