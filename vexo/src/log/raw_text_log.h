// CRawTextVEXOLog: a plain-text log file that receives exactly the texts written to it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "log/vexo_log.h"

namespace vexo {

class CRawTextVEXOLog : public CVEXOLog {
 public:
  // Opens the file for appending; a null name or a file that will not open leaves the log
  // without a file (writes then answer VEXO_STATUS_LOG_NOT_OPEN).
  CRawTextVEXOLog(const char* file_name, const log_flavour& flavour);
  ~CRawTextVEXOLog() override;

  VEXO_STATUS_t Reset() override;
  VEXO_STATUS_t LogAssert(int32_t level, const VEXO_TEST_NUM_t& number,
                          const std::string& message) override;
  VEXO_STATUS_t Write(int32_t level, const std::string& text) override;

  bool file_open() const { return file_ != nullptr; }
  const std::optional<std::string>& file_name() const { return file_name_; }

 private:
  std::optional<std::string> file_name_;
  std::FILE* file_ = nullptr;
};

}  // namespace vexo
