// CRawTextVEXOLog: a plain-text log file that receives exactly the texts written to it.
#include "log/raw_text_log.h"

#include "log/test_num.h"

namespace vexo {

CRawTextVEXOLog::CRawTextVEXOLog(const char* file_name, const log_flavour& flavour)
    : CVEXOLog(flavour) {
  if (file_name == nullptr) return;
  file_ = std::fopen(file_name, "a+");
  if (file_ != nullptr) file_name_ = file_name;
}

CRawTextVEXOLog::~CRawTextVEXOLog() {
  if (file_ != nullptr) std::fclose(file_);
}

VEXO_STATUS_t CRawTextVEXOLog::Reset() {
  if (file_ == nullptr) return VEXO_STATUS_LOG_NOT_OPEN;
  std::fclose(file_);
  file_ = file_name_ ? std::fopen(file_name_->c_str(), "w") : nullptr;
  if (file_ == nullptr) {
    file_name_.reset();
    return VEXO_STATUS_LOG_NOT_OPEN;
  }
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t CRawTextVEXOLog::LogAssert(int32_t level, const VEXO_TEST_NUM_t& number,
                                         const std::string& message) {
  // The word "CFG " is fixed whatever the category: readers of these files expect it.
  return Write(level, "CFG " + dotted_parts(number) + " : " + part_text(number.part4) +
                          " : " + message);
}

VEXO_STATUS_t CRawTextVEXOLog::Write(int32_t, const std::string& text) {
  if (file_ == nullptr) return VEXO_STATUS_LOG_NOT_OPEN;
  const bool written = std::fwrite(text.data(), 1, text.size(), file_) == text.size();
  const bool flushed = std::fflush(file_) == 0;
  return written && flushed ? VEXO_STATUS_SUCCESS : VEXO_STATUS_LOG_WRITE_ERROR;
}

}  // namespace vexo
