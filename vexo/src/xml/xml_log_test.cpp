// The XML log: exact document bytes over a whole test program's life, and its edge cases.
#include "xml/xml_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "device/device_record.h"
#include "golden.h"
#include "log/log_flavour.h"
#include "platform/output_file.h"
#include "temp_folder.h"
#include "test_numbers.h"
#include "vexo.h"

namespace {

using vexo_test::read_file;
using vexo_test::test_number;

VEXO_DEVICE_HANDLE_t device_under_test() {
  uint8_t config[vexo::config_copy_size] = {0x86, 0x80, 0xD3, 0x10};
  VEXO_DEVICE_HANDLE_t handle = nullptr;
  EXPECT_EQ(vexo::make_device_record(3, 0, 0, config, &handle), VEXO_STATUS_SUCCESS);
  return handle;
}

class XmlLogTest : public ::testing::Test {
 protected:
  VEXO_LOG_HANDLE_t create(VEXO_LOG_ACTION_t action = VEXO_LOG_ACTION_CREATE) {
    VEXO_LOG_HANDLE_t log = nullptr;
    EXPECT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_XML, path.c_str(), action),
              VEXO_STATUS_SUCCESS);
    return log;
  }

  vexo_test::temp_folder folder;
  std::string path = folder.file("test.xml");
};

TEST_F(XmlLogTest, WholeTestProgramLife) {
  VEXO_LOG_HANDLE_t log = create();
  VEXO_DEVICE_HANDLE_t dut = device_under_test();
  const VEXO_TEST_NUM_t numbers[] = {test_number(6, "2", "8", "1", "4"),
                                     test_number(5, "3", "5", "2", "1")};

  // Set-up before the test, as a program writes when it opens its device.
  EXPECT_EQ(WriteToLog(log, VEXO_LOG_SUCCESS, "Device opened at BDF[%d,%d,%d]\n", 3, 0, 0),
            VEXO_STATUS_SUCCESS);
  EXPECT_EQ(StartTest(log, "TXN_BFT_Example", numbers, 2, dut), VEXO_STATUS_SUCCESS);
  const int32_t levels[] = {VEXO_LOG_SUCCESS, VEXO_LOG_INFO,  VEXO_LOG_WARNING, VEXO_LOG_ERROR,
                            VEXO_LOG_ABORT,   VEXO_LOG_FAIL, 0x1234};
  for (int32_t level : levels) {
    EXPECT_EQ(WriteToLog(log, level, "free text at 0x%08x", static_cast<uint32_t>(level)),
              VEXO_STATUS_SUCCESS);
  }
  for (int32_t level : levels) {
    EXPECT_EQ(LogAssert(log, level, &numbers[0], "verdict <b>&</b>\n"), VEXO_STATUS_SUCCESS);
  }
  const uint8_t trace[] = {0x01, 0x00, 0x00, 0x80, 0xEF, 0xBE, 0xAD, 0xDE, 0x7F};
  EXPECT_EQ(static_cast<vexo::CXmlVEXOLog*>(log)->WriteTraceBufferDump(3, trace, sizeof trace),
            VEXO_STATUS_SUCCESS);
  EXPECT_EQ(StopTest(log), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(CloseLog(log), VEXO_STATUS_SUCCESS);
  vexo::free_device_record(dut);

  const std::string written = read_file(path);
  // The masked fields really held numbers of the expected shape.
  const auto timestamps = vexo_test::attribute_values(written, "timestamp");
  ASSERT_EQ(timestamps.size(), 2u);
  for (const std::string& value : timestamps) EXPECT_TRUE(vexo_test::is_timestamp(value)) << value;
  for (const char* name : {"numCPUs", "pagesize", "totalPhysRAM", "availPhysRAM", "Max", "Free"}) {
    const auto values = vexo_test::attribute_values(written, name);
    ASSERT_EQ(values.size(), 1u) << name;
    EXPECT_TRUE(vexo_test::is_number(values[0]) && values[0] != "0") << name << "=" << values[0];
  }
  EXPECT_TRUE(vexo_test::matches_golden("xml_log_whole_life.golden",
                                        vexo_test::mask_machine_numbers(written)));
}

TEST_F(XmlLogTest, AppendModeWritesASecondHeader) {
  vexo_test::write_file(path, "old content\n");
  VEXO_LOG_HANDLE_t log = create(VEXO_LOG_ACTION_APPEND);
  CloseLog(log);
  const std::string written = read_file(path);
  EXPECT_EQ(written.rfind("old content\n<VEXOXMLLog user=\"test_user\"", 0), 0u) << written;
  EXPECT_TRUE(written.ends_with("</Platform>\n</VEXOXMLLog>\n"));

  log = create(VEXO_LOG_ACTION_APPEND);
  CloseLog(log);
  const std::string twice = read_file(path);
  std::size_t headers = 0;
  for (std::size_t at = twice.find("<VEXOXMLLog "); at != std::string::npos;
       at = twice.find("<VEXOXMLLog ", at + 1)) {
    ++headers;
  }
  EXPECT_EQ(headers, 2u);

  // Modes 0 and 2 start from empty.
  for (VEXO_LOG_ACTION_t mode : {VEXO_LOG_ACTION_CREATE, VEXO_LOG_ACTION_OVERWRITE}) {
    CloseLog(create(mode));
    EXPECT_EQ(read_file(path).rfind("<VEXOXMLLog ", 0), 0u);
  }
}

TEST_F(XmlLogTest, TestElementVariants) {
  VEXO_LOG_HANDLE_t log = create();
  const std::size_t header_size = read_file(path).size();
  // No assertions, no device: the test element line alone.
  EXPECT_EQ(StartTest(log, "ignored", nullptr, 0, nullptr), VEXO_STATUS_SUCCESS);
  std::string added = read_file(path).substr(header_size);
  EXPECT_TRUE(added.starts_with("<VEXOTest user=\"test_user\" timestamp=\"") &&
              added.ends_with("\">\n") && added.find('\n') == added.size() - 1)
      << added;
  const auto timestamps = vexo_test::attribute_values(added, "timestamp");
  ASSERT_EQ(timestamps.size(), 1u);
  EXPECT_TRUE(vexo_test::is_timestamp(timestamps[0])) << timestamps[0];

  const VEXO_TEST_NUM_t em = test_number(3, "1", "2", "3", "4");
  std::size_t before = read_file(path).size();
  EXPECT_EQ(StartTest(log, "x", &em, 1, nullptr), VEXO_STATUS_SUCCESS);
  added = read_file(path).substr(before);
  EXPECT_NE(added.find("<Assertion name=\"EM.1.2#3.4\">\n</Assertion>\n"), std::string::npos);

  // Parts filled to their full width without a terminator are read within their width.
  VEXO_TEST_NUM_t full{};
  full.category = 2;
  std::memcpy(full.part1, "ABCDE", 5);
  std::memcpy(full.part2, "FGHIJ", 5);
  std::memcpy(full.part3, "KLMNO", 5);
  std::memcpy(full.part4, "PQRST", 5);
  before = read_file(path).size();
  LogAssert(log, VEXO_LOG_SUCCESS, &full, "m");
  EXPECT_EQ(read_file(path).substr(before),
            "\n<ASSERTTAG assertion = \"CFG.ABCDE.FGHIJ#KLMNO.PQRST\" status = \"SUCCESS\">\n"
            "m</ASSERTTAG>\n\n");

  // The two-argument start writes the start text, then the test element; no counting
  // follows from the five-argument form.
  before = read_file(path).size();
  EXPECT_EQ(StartTest(log, "Named"), VEXO_STATUS_SUCCESS);
  added = read_file(path).substr(before);
  EXPECT_EQ(added.rfind("<INFO>\nNow Starting Test:Named\n</INFO>\n<VEXOTest user=", 0), 0u)
      << added;
  CloseLog(log);
}

TEST_F(XmlLogTest, ErrorLevelIsAWarningElementButAnErrorAssertion) {
  VEXO_LOG_HANDLE_t log = create();
  const VEXO_TEST_NUM_t number = test_number(6, "1", "2", "3", "4");
  std::size_t before = read_file(path).size();
  WriteToLog(log, VEXO_LOG_ERROR, "bad");
  EXPECT_EQ(read_file(path).substr(before), "<WARNING>\nbad</WARNING>\n");
  before = read_file(path).size();
  LogAssert(log, VEXO_LOG_ERROR, &number, "bad");
  EXPECT_EQ(read_file(path).substr(before),
            "\n<ASSERTTAG assertion = \"TXN.1.2#3.4\" status = \"ERROR\">\nbad</ASSERTTAG>\n\n");
  CloseLog(log);
}

TEST_F(XmlLogTest, DisabledLoggingHoldsBackFreeTextButNotAssertions) {
  VEXO_LOG_HANDLE_t log = create();
  const VEXO_TEST_NUM_t number = test_number(6, "1", "2", "3", "4");
  EXPECT_EQ(DisableLogging(log), VEXO_STATUS_SUCCESS);
  const std::size_t before = read_file(path).size();
  EXPECT_EQ(WriteToLog(log, VEXO_LOG_FAIL, "hidden"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(read_file(path).size(), before);
  LogAssert(log, VEXO_LOG_FAIL, &number, "shown");
  EXPECT_NE(read_file(path).find("status = \"FAILED\">\nshown</ASSERTTAG>"), std::string::npos);
  EXPECT_EQ(EnableLogging(log), VEXO_STATUS_SUCCESS);
  WriteToLog(log, VEXO_LOG_FAIL, "back");
  EXPECT_TRUE(read_file(path).ends_with("<FAIL>\nback</FAIL>\n"));
  CloseLog(log);
}

// What follows the header and platform block: the part of a log a program's calls decide.
std::string after_platform_block(const std::string& written) {
  const std::size_t end = written.find("</Platform>\n");
  return end == std::string::npos ? "(no header) " + written : written.substr(end + 12);
}

// A log that cannot keep a single entry is refused at creation, with the file and the
// reason on standard error; no handle is handed out.
TEST_F(XmlLogTest, LogWithoutAFileIsRefusedAndSaysWhy) {
  std::filesystem::create_directory(folder.file("taken.xml"));
  const std::string missing = folder.file("missing/folder/test.xml");
  const std::string taken = folder.file("taken.xml");
  const std::string refused = folder.file("refused.xml");
  const std::string header_lost = folder.file("header.xml");
  struct refused_case {
    const char* name;
    VEXO_LOG_ACTION_t action;
    VEXO_STATUS_t status;
    std::string message;
  } const cases[] = {
#ifndef _WIN32  // the system's own texts
      {missing.c_str(), VEXO_LOG_ACTION_CREATE, VEXO_STATUS_NO_LOG_FILE,
       "VEXO :: LOG NOT OPEN: log file[" + missing + "] cannot be opened: No such file or directory\n"},
      {taken.c_str(), VEXO_LOG_ACTION_APPEND, VEXO_STATUS_NO_LOG_FILE,
       "VEXO :: LOG NOT OPEN: log file[" + taken + "] cannot be opened: Is a directory\n"},
      {"/dev/full", VEXO_LOG_ACTION_CREATE, VEXO_STATUS_LOG_WRITE_ERROR,
       "VEXO :: LOG WRITE ERROR: log file[/dev/full] cannot be written: No space left on device\n"},
#endif
      {"", VEXO_LOG_ACTION_CREATE, VEXO_STATUS_NO_LOG_FILE,
       "VEXO :: LOG NOT OPEN: log file[] cannot be opened: no file name was given\n"},
      {nullptr, VEXO_LOG_ACTION_CREATE, VEXO_STATUS_NO_LOG_FILE, ""},
      {path.c_str(), 7, VEXO_STATUS_NO_LOG_FILE, ""},  // an open mode outside 0-2 opens nothing
      {refused.c_str(), VEXO_LOG_ACTION_CREATE, VEXO_STATUS_NO_LOG_FILE,
       "VEXO :: LOG NOT OPEN: log file[" + refused + "] cannot be opened: Permission denied\n"},
      {header_lost.c_str(), VEXO_LOG_ACTION_CREATE, VEXO_STATUS_LOG_WRITE_ERROR,
       "VEXO :: LOG WRITE ERROR: log file[" + header_lost + "] cannot be written: No space left on device\n"},
  };
  platform::set_file_fault_hook([&](platform::file_step step, const std::string& file) -> std::optional<std::string> {
    if (step == platform::file_step::open && file == refused) return "Permission denied";
    if (step == platform::file_step::write && file == header_lost) return "No space left on device";
    return std::nullopt;
  });
  for (const refused_case& c : cases) {
    VEXO_LOG_HANDLE_t log = reinterpret_cast<VEXO_LOG_HANDLE_t>(1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_XML, c.name, c.action), c.status)
        << (c.name ? c.name : "(null)");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(log, nullptr);
  }
  platform::set_file_fault_hook(nullptr);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(refused));

  // The log object itself, without a file, writes nothing and answers as documented.
  vexo::CXmlVEXOLog xml(nullptr, VEXO_LOG_ACTION_CREATE, vexo::library_log_flavour());
  EXPECT_EQ(xml.open_status(), VEXO_STATUS_NO_LOG_FILE);
  const VEXO_TEST_NUM_t number = test_number(6, "1", "2", "3", "4");
  EXPECT_EQ(xml.LogMessage(VEXO_LOG_INFO, "x"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(xml.Write(VEXO_LOG_INFO, "x"), VEXO_STATUS_LOG_NOT_OPEN);
  EXPECT_EQ(xml.WriteTestElement(&number, 1, nullptr), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(xml.LogAssert(VEXO_LOG_FAIL, number, "m"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(xml.StopTest(), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(xml.Reset(), VEXO_STATUS_LOG_NOT_OPEN);
}

// A write that fails part-way: the call that wrote reports it (free text cannot: its status
// is not passed on), nothing more reaches the damaged file, the failure is said once and
// CloseLog reports the log as not kept.
TEST_F(XmlLogTest, FailedWriteIsReportedByTheCallAndByCloseLog) {
  const VEXO_TEST_NUM_t number = test_number(5, "5", "2", "1", "0");
  const uint8_t trace[] = {1, 2, 3, 4};
  using call = std::function<VEXO_STATUS_t(VEXO_LOG_HANDLE_t)>;
  struct failing_call {
    const char* name;
    call run;
    VEXO_STATUS_t status;
  } const cases[] = {
      {"WriteToLog", [](VEXO_LOG_HANDLE_t log) { return WriteToLog(log, VEXO_LOG_FAIL, "lost\n"); },
       VEXO_STATUS_SUCCESS},
      {"StartTest", [&](VEXO_LOG_HANDLE_t log) { return StartTest(log, "t", &number, 1, nullptr); },
       VEXO_STATUS_LOG_WRITE_ERROR},
      {"LogAssert", [&](VEXO_LOG_HANDLE_t log) { return LogAssert(log, VEXO_LOG_FAIL, &number, "lost\n"); },
       VEXO_STATUS_LOG_WRITE_ERROR},
      {"trace dump",
       [&](VEXO_LOG_HANDLE_t log) {
         return static_cast<vexo::CXmlVEXOLog*>(log)->WriteTraceBufferDump(1, trace, sizeof trace);
       },
       VEXO_STATUS_LOG_WRITE_ERROR},
  };
  for (const failing_call& c : cases) {
    VEXO_LOG_HANDLE_t log = create();
    ASSERT_NE(log, nullptr);
    WriteToLog(log, VEXO_LOG_SUCCESS, "kept\n");
    const std::string before = read_file(path);
    platform::set_file_fault_hook([&](platform::file_step step, const std::string& file) {
      return step == platform::file_step::write && file == path ? std::optional<std::string>("No space left on device")
                                                                : std::nullopt;
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(c.run(log), c.status) << c.name;
    platform::set_file_fault_hook(nullptr);
    // The disk has room again: the damaged log still takes nothing more.
    EXPECT_EQ(LogAssert(log, VEXO_LOG_SUCCESS, &number, "late\n"), VEXO_STATUS_LOG_WRITE_ERROR) << c.name;
    // Only a started test has an element to close, and that write fails too.
    EXPECT_EQ(StopTest(log), std::string(c.name) == "StartTest" ? VEXO_STATUS_LOG_WRITE_ERROR : VEXO_STATUS_SUCCESS)
        << c.name;
    EXPECT_EQ(CloseLog(log), VEXO_STATUS_LOG_WRITE_ERROR) << c.name;
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "VEXO :: LOG WRITE ERROR: log file[" + path + "] cannot be written: No space left on device\n")
        << c.name;
    EXPECT_EQ(read_file(path), before) << c.name;
  }

  // A close that fails loses what the system still held: reported the same way.
  VEXO_LOG_HANDLE_t log = create();
  platform::set_file_fault_hook([&](platform::file_step step, const std::string&) {
    return step == platform::file_step::close ? std::optional<std::string>("Input/output error") : std::nullopt;
  });
  testing::internal::CaptureStderr();
  EXPECT_EQ(CloseLog(log), VEXO_STATUS_LOG_WRITE_ERROR);
  platform::set_file_fault_hook(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "VEXO :: LOG WRITE ERROR: log file[" + path + "] cannot be closed: Input/output error\n");
}

// A program that stops before its test starts (DUT not found) still calls StopTest: the
// document gets no closing test element without an opening one. A test left open is closed
// before the root tag.
TEST_F(XmlLogTest, LogOfAProgramThatStoppedEarlyIsWellFormed) {
  const VEXO_TEST_NUM_t number = test_number(5, "5", "2", "1", "0");
  VEXO_LOG_HANDLE_t log = create();
  WriteToLog(log, VEXO_LOG_INFO, "set-up\n");
  LogAssert(log, VEXO_LOG_ABORT, &number, "FindDevice() for DUT FAILED\n");
  EXPECT_EQ(StopTest(log), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(CloseLog(log), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(after_platform_block(read_file(path)),
            "<INFO>\nset-up\n</INFO>\n"
            "\n<ASSERTTAG assertion = \"DLL.5.2#1.0\" status = \"ABORT\">\nFindDevice() for DUT FAILED\n"
            "</ASSERTTAG>\n\n"
            "</VEXOXMLLog>\n");

  log = create();
  EXPECT_EQ(StartTest(log, "t", &number, 0, nullptr), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(CloseLog(log), VEXO_STATUS_SUCCESS);  // no StopTest
  const std::string left_open = after_platform_block(read_file(path));
  EXPECT_TRUE(left_open.starts_with("<VEXOTest user=\"test_user\" timestamp=\"")) << left_open;
  EXPECT_TRUE(left_open.ends_with("\">\n</VEXOTest>\n</VEXOXMLLog>\n")) << left_open;

  log = create();
  EXPECT_EQ(StartTest(log, "t", &number, 0, nullptr), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(StopTest(log), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(StopTest(log), VEXO_STATUS_SUCCESS);  // a second stop closes nothing more
  CloseLog(log);
  EXPECT_TRUE(after_platform_block(read_file(path)).ends_with("\">\n</VEXOTest>\n</VEXOXMLLog>\n"));
}

TEST_F(XmlLogTest, TraceBufferDumpOfAWholeNumberOfWords) {
  VEXO_LOG_HANDLE_t log = create();
  const std::size_t before = read_file(path).size();
  const uint8_t trace[] = {0x78, 0x56, 0x34, 0x12};
  static_cast<vexo::CXmlVEXOLog*>(log)->WriteTraceBufferDump(0, trace, 4);
  EXPECT_EQ(read_file(path).substr(before),
            "\n<INFO> <ActionCount> 0\n</ActionCount>\n</INFO>\n <INFO> <TBContents>\n"
            "<NumBytes> 4 </NumBytes> \n<TBData>\n0x12345678\n</TBData>\n</TBContents></INFO>\n");
  CloseLog(log);
}

}  // namespace
