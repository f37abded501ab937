// CVEXOLog: test bookkeeping, counting, the logging switch and the summary.
#include "log/vexo_log.h"

#include <cstdio>

namespace vexo {

VEXO_STATUS_t CVEXOLog::StartTest(const std::string& name) {
  current_test_name_ = name;
  // Straight to Write: the start text is neither counted nor held back by the switch. A
  // start that did not reach the file is reported: the test's log would be lost.
  const VEXO_STATUS_t written = Write(VEXO_LOG_INFO, flavour_.start_text(name));
  current_record_.name = name;
  ++tests_started_;
  in_test_ = 1;
  return written;
}

VEXO_STATUS_t CVEXOLog::StopTest() {
  const VEXO_STATUS_t written = Write(VEXO_LOG_INFO, flavour_.stop_text(current_test_name_, current_record_));
  test_records_.push_back(current_record_);
  current_record_ = test_record{};
  in_test_ = 0;
  // No Reset here: reopening the file empty would throw away a plain-text log's whole
  // content, the stop text just written included.
  return written;
}

VEXO_STATUS_t CVEXOLog::StartTestCase(const std::string&) { return VEXO_STATUS_SUCCESS; }

VEXO_STATUS_t CVEXOLog::StopTestCase() { return VEXO_STATUS_SUCCESS; }

VEXO_STATUS_t CVEXOLog::LogMessage(int32_t level, const std::string& text) {
  if (!logging_enabled_) return VEXO_STATUS_SUCCESS;
  if (in_test_) {
    switch (level) {
      case VEXO_LOG_ABORT: ++current_record_.aborts; break;
      case VEXO_LOG_FAIL: ++current_record_.fails; break;
      case VEXO_LOG_WARNING: ++current_record_.warnings; break;
      case VEXO_LOG_INFO: ++current_record_.informations; break;
      default: break;
    }
  }
  Write(level, text);  // free-text writes report success whatever the file did
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t CVEXOLog::WriteSummary() {
  int32_t fails = 0, aborts = 0, warnings = 0;
  for (const test_record& record : test_records_) {
    fails += record.fails;
    aborts += record.aborts;
    warnings += record.warnings;
  }
  char counts[128];
  std::snprintf(counts, sizeof counts, "Fails (%d); Aborts (%d); Warnings (%d) ]\n", fails,
                aborts, warnings);
  Write(VEXO_LOG_INFO, std::string("Summary Log Counts [ ") + counts);
  return VEXO_STATUS_SUCCESS;
}

}  // namespace vexo
