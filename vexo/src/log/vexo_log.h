// CVEXOLog: the abstract base of every log kind, with the per-test counters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "log/log_flavour.h"
#include "vexo.h"

namespace vexo {

// One test's name and counters, in this order.
struct test_record {
  std::string name;
  int32_t aborts = 0;
  int32_t fails = 0;
  int32_t warnings = 0;
  int32_t informations = 0;
};

class CVEXOLog {
 public:
  explicit CVEXOLog(const log_flavour& flavour) : flavour_(flavour) {}
  CVEXOLog(const CVEXOLog&) = delete;
  CVEXOLog& operator=(const CVEXOLog&) = delete;

  // Slot order of the virtual operations is part of the design; keep it.
  virtual ~CVEXOLog() = default;                                            // 0
  virtual VEXO_STATUS_t Reset() = 0;                                        // 1
  virtual VEXO_STATUS_t StartTest(const std::string& name);                 // 2
  virtual VEXO_STATUS_t StopTest();                                         // 3
  virtual VEXO_STATUS_t StartTestCase(const std::string& name);             // 4
  virtual VEXO_STATUS_t StopTestCase();                                     // 5
  virtual VEXO_STATUS_t LogAssert(int32_t level, const VEXO_TEST_NUM_t& number,
                                  const std::string& message) = 0;          // 6
  virtual VEXO_STATUS_t Write(int32_t level, const std::string& text) = 0;  // 7
  // Ends the log's file (closing text, then close) and says whether the file kept
  // everything: VEXO_STATUS_SUCCESS, or the status of the file's first failure. The
  // destructor does it too, without the report; later calls change nothing.
  virtual VEXO_STATUS_t Close() { return VEXO_STATUS_SUCCESS; }            // 8

  // The writer behind WriteToLog: obeys the logging switch and counts while in a test.
  VEXO_STATUS_t LogMessage(int32_t level, const std::string& text);
  // Totals of the finished tests, written at INFO level.
  VEXO_STATUS_t WriteSummary();

  void EnableLogging() { logging_enabled_ = 1; }
  void DisableLogging() { logging_enabled_ = 0; }

  const std::vector<test_record>& finished_tests() const { return test_records_; }
  const test_record& current_test() const { return current_record_; }
  uint32_t tests_started() const { return tests_started_; }
  bool in_test() const { return in_test_ != 0; }
  bool logging_enabled() const { return logging_enabled_ != 0; }
  // What creation found: VEXO_STATUS_SUCCESS, or why the log cannot keep anything.
  VEXO_STATUS_t open_status() const { return open_status_; }

 protected:
  const log_flavour& flavour() const { return flavour_; }
  void set_open_status(VEXO_STATUS_t status) { open_status_ = status; }

 private:
  std::vector<test_record> test_records_;
  std::string current_test_name_;
  test_record current_record_;
  uint32_t tests_started_ = 0;
  int32_t in_test_ = 0;
  int32_t logging_enabled_ = 1;
  VEXO_STATUS_t open_status_ = VEXO_STATUS_SUCCESS;
  const log_flavour& flavour_;
};

}  // namespace vexo
