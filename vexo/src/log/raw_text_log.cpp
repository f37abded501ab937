// CRawTextVEXOLog: a plain-text log file that receives exactly the texts written to it.
#include "log/raw_text_log.h"

#include "log/test_num.h"

namespace vexo {

CRawTextVEXOLog::CRawTextVEXOLog(const char* file_name, const log_flavour& flavour)
    : CVEXOLog(flavour) {
  if (file_name == nullptr) return;
  file_asked_ = true;
  if (file_.open(file_name, platform::output_mode::append)) file_name_ = file_name;
}

CRawTextVEXOLog::~CRawTextVEXOLog() { file_.close(); }

VEXO_STATUS_t CRawTextVEXOLog::Reset() {
  if (!file_.is_open()) return VEXO_STATUS_LOG_NOT_OPEN;
  file_.close();
  if (!file_.open(*file_name_, platform::output_mode::create)) {
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
  return file_.write(text);
}

VEXO_STATUS_t CRawTextVEXOLog::Close() {
  file_.close();
  return file_asked_ ? file_.status() : VEXO_STATUS_SUCCESS;
}

}  // namespace vexo
