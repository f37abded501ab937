// CConsoleOutVEXOLog: level-prefixed texts to standard error and, optionally, a file.
#pragma once

#include <cstdio>

#include "log/raw_text_log.h"

namespace vexo {

class CConsoleOutVEXOLog : public CRawTextVEXOLog {
 public:
  CConsoleOutVEXOLog(const char* file_name, const log_flavour& flavour);
  // Writes the summary of the finished tests, then closes the file.
  ~CConsoleOutVEXOLog() override;

  VEXO_STATUS_t Reset() override;
  VEXO_STATUS_t LogAssert(int32_t level, const VEXO_TEST_NUM_t& number,
                          const std::string& message) override;
  VEXO_STATUS_t Write(int32_t level, const std::string& text) override;
  // Writes the summary, then closes the file as the plain-text log does.
  VEXO_STATUS_t Close() override;

 private:
  std::FILE* console_ = nullptr;
  bool summary_written_ = false;
};

}  // namespace vexo
