// CXmlVEXOLog: the XML test log every compliance program writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "log/vexo_log.h"

namespace vexo {

class CXmlVEXOLog : public CVEXOLog {
 public:
  // Mode 0 or 2 writes the file from empty, mode 1 appends; a null name or another mode
  // opens nothing. An opened file receives the document header at once.
  CXmlVEXOLog(const char* file_name, VEXO_LOG_ACTION_t mode, const log_flavour& flavour);
  // Writes the closing root tag and closes the file.
  ~CXmlVEXOLog() override;

  VEXO_STATUS_t Reset() override;
  VEXO_STATUS_t StartTest(const std::string& name) override;
  VEXO_STATUS_t StopTest() override;
  VEXO_STATUS_t StartTestCase(const std::string& name) override;
  VEXO_STATUS_t StopTestCase() override;
  VEXO_STATUS_t LogAssert(int32_t level, const VEXO_TEST_NUM_t& number,
                          const std::string& message) override;
  VEXO_STATUS_t Write(int32_t level, const std::string& text) override;

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

  bool file_open() const { return file_ != nullptr; }
  // VEXO_STATUS_NO_LOG_FILE when the constructor opened no file.
  VEXO_STATUS_t open_status() const { return open_status_; }

 private:
  void put(const std::string& text);

  std::FILE* file_ = nullptr;
  std::string file_name_;
  VEXO_STATUS_t open_status_ = VEXO_STATUS_SUCCESS;
};

}  // namespace vexo
