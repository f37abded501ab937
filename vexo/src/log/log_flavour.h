// The few texts and kinds in which the framework libraries' logs differ.
//
// The log and lifecycle sources are shared by vexo and vexomin; each library defines
// library_log_flavour() once, in its own source, to say how its logs speak.
#pragma once

#include <cstdint>
#include <string>

#include "vexo.h"

namespace vexo {

class CVEXOLog;
struct test_record;

struct log_flavour {
  // Text the base StartTest writes at INFO level.
  std::string (*start_text)(const std::string& test_name);
  // Text the base StopTest writes at INFO level, with the counters of the stopped test.
  std::string (*stop_text)(const std::string& test_name, const test_record& record);
  // Assertion line of the console log (handed to LogMessage, so it is counted).
  std::string (*console_assert_line)(const VEXO_TEST_NUM_t& number, const std::string& message);
  // Makes an XML log; null when the library offers none (CreateLog then refuses kind 0).
  CVEXOLog* (*make_xml_log)(const char* file_name, VEXO_LOG_ACTION_t action);
};

const log_flavour& library_log_flavour();

}  // namespace vexo
