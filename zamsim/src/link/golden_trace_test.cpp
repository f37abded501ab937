// Golden traces, record by record: one configuration read of the DUT under each card
// command with its count set to 1, and under each choice of the trace configuration
// word's kind and direction bits. The files are under testdata/ beside this test;
// ZAMSIM_UPDATE_GOLDEN=1 rewrites them from the model (read the diff before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "link/dut_link.h"
#include "link/link_test_support.h"

namespace zamsim {
namespace {

constexpr uint8_t cpl_d = 0x4A, cfg_rd0 = 0x04;

struct golden_case {
  const char* file;
  uint8_t code;
  uint8_t match;  // header byte 0 to match (length 1), or 0 for no match value
  uint32_t parameter;
  uint8_t type_byte;
  uint32_t trace_word;
};

const golden_case cases[] = {
    {"nak.trace", fault_command::nak, cpl_d, 0, 0, 0x1E00},
    {"no_ack_nak.trace", fault_command::no_ack_nak, cpl_d, 0, 0, 0x1E00},
    {"ack_nak_delay_legal.trace", fault_command::ack_nak_delay_legal, cpl_d, 0, 0, 0x1E00},
    {"corrupt_lcrc.trace", fault_command::corrupt_lcrc, cfg_rd0, 0, 0, 0x1E00},
    {"duplicate_seq_num.trace", fault_command::duplicate_seq_num, cfg_rd0, 0, 0, 0x1E00},
    {"delay_tlp.trace", fault_command::delay_tlp, cpl_d, 125, 0, 0x1E00},
    {"corrupt_dllp.trace", fault_command::corrupt_dllp, 0, 0, 0, 0x1E00},
    {"dllp_reserved_bits.trace", fault_command::dllp_reserved_bits, 0, 0, 0, 0x1E00},
    {"undefined_dllp.trace", fault_command::undefined_dllp, 0, 0, 0x01, 0x1E00},
    {"dllp_bogus_seq_num.trace", fault_command::dllp_bogus_seq_num, cpl_d, 0, 0, 0x1E00},
    // The trace word under NAK on the completion: kinds and directions.
    {"word_upstream_only_00.trace", fault_command::nak, cpl_d, 0, 0, 0x1200},
    {"word_upstream_only_10.trace", fault_command::nak, cpl_d, 0, 0, 0x1A00},
    {"word_downstream_only.trace", fault_command::nak, cpl_d, 0, 0, 0x1600},
    {"word_tlps_only.trace", fault_command::nak, cpl_d, 0, 0, 0x1C00},
    {"word_dllps_only.trace", fault_command::nak, cpl_d, 0, 0, 0x0E00},
};

class GoldenTraceTest : public LinkStationTest, public ::testing::WithParamInterface<golden_case> {};

std::vector<std::string> read_golden(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

TEST_P(GoldenTraceTest, OneConfigurationReadRecordByRecord) {
  const golden_case& c = GetParam();
  enable_error_reporting();
  card_command(1, c.trace_word);
  program(c.code, 1, c.match, c.match != 0 ? 1 : 0, true, c.parameter, c.type_byte);
  uint32_t value = 0;
  const std::vector<std::string> trace = exchange(&value);
  EXPECT_EQ(value, 0x0020ABCDu);
  const std::string path = std::string(ZAMSIM_GOLDEN_DIR) + "/" + c.file;
  if (const char* update = std::getenv("ZAMSIM_UPDATE_GOLDEN"); update != nullptr && update[0] == '1') {
    std::ofstream out(path);
    out << "# One configuration read of the DUT (CfgRd0 of 03:00.0 offset 0), card command 0x" << std::hex
        << int(c.code) << " count 1, trace configuration word 0x" << c.trace_word << std::dec << "\n";
    for (const auto& line : trace) out << line << "\n";
  }
  const std::vector<std::string> golden = read_golden(path);
  ASSERT_FALSE(golden.empty()) << "no golden trace " << path;
  EXPECT_EQ(trace, golden) << "recorded:\n" << ::testing::PrintToString(trace);
}

INSTANTIATE_TEST_SUITE_P(CardCommandsAndTraceWord, GoldenTraceTest, ::testing::ValuesIn(cases),
                         [](const auto& info) {
                           std::string name = info.param.file;
                           name = name.substr(0, name.find('.'));
                           return name;
                         });

}  // namespace
}  // namespace zamsim
