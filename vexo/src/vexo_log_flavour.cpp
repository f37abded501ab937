// How vexo's logs speak: start and stop texts, console assertion lines, the XML log.
#include <cstdio>
#include <new>

#include "log/log_flavour.h"
#include "log/test_num.h"
#include "log/vexo_log.h"
#include "xml/xml_log.h"

namespace vexo {
namespace {

std::string start_text(const std::string& test_name) {
  return "Now Starting Test:" + test_name + "\n";
}

std::string stop_text(const std::string& test_name, const test_record& record) {
  char counts[128];
  std::snprintf(counts, sizeof counts,
                ":\n     Number of: Fails (%d); Aborts (%d); Warnings (%d)", record.fails,
                record.aborts, record.warnings);
  return "Stopping Test [ " + test_name + counts + " ]\n\n";
}

std::string console_assert_line(const VEXO_TEST_NUM_t& number, const std::string& message) {
  return "CFG " + dotted_parts(number) + " : " + message;
}

CVEXOLog* make_xml_log(const char* file_name, VEXO_LOG_ACTION_t action) {
  return new (std::nothrow) CXmlVEXOLog(file_name, action, library_log_flavour());
}

}  // namespace

const log_flavour& library_log_flavour() {
  static const log_flavour flavour{start_text, stop_text, console_assert_line, make_xml_log};
  return flavour;
}

}  // namespace vexo
