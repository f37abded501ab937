// CConsoleOutVEXOLog: level-prefixed texts to standard error and, optionally, a file.
#include "log/console_log.h"

#include "log/log_level.h"

namespace vexo {

CConsoleOutVEXOLog::CConsoleOutVEXOLog(const char* file_name, const log_flavour& flavour)
    : CRawTextVEXOLog(file_name, flavour), console_(stderr) {}

CConsoleOutVEXOLog::~CConsoleOutVEXOLog() { Close(); }

VEXO_STATUS_t CConsoleOutVEXOLog::Close() {
  if (!summary_written_) {
    summary_written_ = true;
    WriteSummary();
  }
  console_ = nullptr;
  return CRawTextVEXOLog::Close();
}

VEXO_STATUS_t CConsoleOutVEXOLog::Reset() { return VEXO_STATUS_SUCCESS; }

VEXO_STATUS_t CConsoleOutVEXOLog::LogAssert(int32_t level, const VEXO_TEST_NUM_t& number,
                                            const std::string& message) {
  // Through LogMessage: console verdicts are counted and obey the logging switch.
  LogMessage(level, flavour().console_assert_line(number, message));
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t CConsoleOutVEXOLog::Write(int32_t level, const std::string& text) {
  if (console_ == nullptr) return VEXO_STATUS_LOG_NOT_OPEN;
  const std::string prefixed = console_prefix(level) + text;
  std::fwrite(prefixed.data(), 1, prefixed.size(), console_);
  std::fflush(console_);
  CRawTextVEXOLog::Write(level, prefixed);  // the copy in the file is optional
  return VEXO_STATUS_SUCCESS;
}

}  // namespace vexo
