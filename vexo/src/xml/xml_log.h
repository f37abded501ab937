// CXmlVEXOLog: the XML test log every compliance program writes.
#pragma once

#include <cstdint>
#include <string>

#include "log/log_file.h"
#include "log/vexo_log.h"

namespace vexo {

class CXmlVEXOLog : public CVEXOLog {
 public:
  // Mode 0 or 2 writes the file from empty, mode 1 appends; a null name or another mode
  // opens nothing. An opened file receives the document header at once. open_status()
  // then says VEXO_STATUS_NO_LOG_FILE when no file opened, VEXO_STATUS_LOG_WRITE_ERROR when
  // the header could not be written.
  CXmlVEXOLog(const char* file_name, VEXO_LOG_ACTION_t mode, const log_flavour& flavour);
  // Closes the file as Close does.
  ~CXmlVEXOLog() override;

  VEXO_STATUS_t Reset() override;
  VEXO_STATUS_t StartTest(const std::string& name) override;
  VEXO_STATUS_t StopTest() override;
  VEXO_STATUS_t StartTestCase(const std::string& name) override;
  VEXO_STATUS_t StopTestCase() override;
  VEXO_STATUS_t LogAssert(int32_t level, const VEXO_TEST_NUM_t& number,
                          const std::string& message) override;
  VEXO_STATUS_t Write(int32_t level, const std::string& text) override;
  // Closes a test element left open, writes the closing root tag and closes the file;
  // VEXO_STATUS_SUCCESS when the file kept everything, else the status of its first failure.
  VEXO_STATUS_t Close() override;

  // The opening test element: one Assertion element per number and, when a device under
  // test is given, its DUT element. Writes nothing when no file is open.
  VEXO_STATUS_t WriteTestElement(const VEXO_TEST_NUM_t* numbers, uint32_t count,
                                 VEXO_DEVICE_HANDLE_t device_under_test);

  // The trace-buffer dump: action count, byte count and one word line per four bytes below
  // byte_count. Words are read from the first readable_count bytes of the buffer (by
  // default byte_count); bytes past that are zero, never read.
  static constexpr uint32_t whole_dump = UINT32_MAX;
  VEXO_STATUS_t WriteTraceBufferDump(int32_t action_count, const uint8_t* bytes,
                                     uint32_t byte_count, uint32_t readable_count = whole_dump);

  bool file_open() const { return file_.is_open(); }

 private:
  VEXO_STATUS_t put(const std::string& text) { return file_.write(text); }

  log_file file_;
  std::string file_name_;
  bool test_open_ = false;  // an opening test element waits for its closing one
};

}  // namespace vexo
