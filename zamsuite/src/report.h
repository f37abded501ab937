// The two reports of a run: JUnit XML for CI systems, a self-contained HTML page for people.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "log_entry.h"
#include "zamtrace/record.h"

namespace zamsuite {

struct suite_report {
  std::string name;       // the test suite's name ("zamsuite", "fwtool")
  std::string timestamp;  // ISO 8601 local time of the start
  std::string subject;    // what was tested, one line (DAT file, station, main log)
  std::vector<case_result> cases;
};

struct report_counts {
  int passed = 0, failed = 0, errors = 0, not_run = 0;
  double seconds = 0;
};
report_counts count_cases(const suite_report& report);

// The JUnit document: one test suite, one test case per case, a failure per failed
// assertion (an error per aborted step) with its log text.
std::string junit_xml(const suite_report& report);

// Decodes the bytes of a trace (the records as the framework reads them) into records.
using trace_decoder = std::vector<zamtrace::decoded_record> (*)(const std::vector<uint8_t>& bytes);

// The HTML page: summary table, then per case its entries in order and its trace: decoded,
// with a timeline and the records its searches counted marked, when a decoder is given;
// else an excerpt of its words.
std::string html_page(const suite_report& report, trace_decoder decode = nullptr);

// The trace words as the bytes they hold (each word little-endian).
std::vector<uint8_t> trace_bytes(const std::vector<uint32_t>& words);

// Writes text to a file; false with a reason on failure.
bool write_report(const std::string& path, const std::string& text, std::string* reason);

}  // namespace zamsuite
