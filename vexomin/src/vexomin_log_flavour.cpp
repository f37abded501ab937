// How vexomin's logs speak: its start and stop texts, its console assertion line, no XML log.
#include <cstdio>

#include "log/log_flavour.h"
#include "log/test_num.h"
#include "log/vexo_log.h"

namespace vexo {
namespace {

std::string start_text(const std::string& test_name) {
  return "\n     Starting Test: " + test_name + "***************************\n";
}

std::string stop_text(const std::string& test_name, const test_record& record) {
  char counts[128];
  std::snprintf(counts, sizeof counts, "     Number of: Fails (%d); Aborts (%d); Warnings (%d)", record.fails,
                record.aborts, record.warnings);
  return "\n     Stopping Test: " + test_name + counts + "\n\n";
}

std::string console_assert_line(const VEXO_TEST_NUM_t& number, const std::string& message) {
  return identifier_text(number) + " " + dotted_parts(number) + " : " + message;
}

}  // namespace

const log_flavour& library_log_flavour() {
  static const log_flavour flavour{start_text, stop_text, console_assert_line, nullptr};
  return flavour;
}

}  // namespace vexo
