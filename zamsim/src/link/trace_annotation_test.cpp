// The card's annotations in the trace record headers: direction (bit 12), what the card did
// (bits 13-15) and the virtual time (bits 32-63), with bit 11 saying the record carries
// them; one configuration read of the DUT under each card command that marks a record.
#include <gtest/gtest.h>

#include <cstring>

#include "link/dut_link.h"
#include "link/link_test_support.h"

namespace zamsim {
namespace {

constexpr uint8_t cpl_d = 0x4A, cfg_rd0 = 0x04;

// One line per record: "down bad-lcrc TLP 04" (direction, action, kind, first payload byte
// of a TLP or the DLLP type byte).
std::vector<std::string> annotations(const std::vector<uint8_t>& trace, std::vector<uint32_t>* times) {
  static const char* const actions[8] = {"-",           "bad-lcrc",          "duplicate",   "replay",
                                         "bad-dllp-crc", "dllp-reserved-bits", "substituted", "discarded"};
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at + 8 <= trace.size() && trace[at] == 0xF1) {
    const uint8_t kind = trace[at + 1] & 7;
    const std::size_t payload = kind == 3 ? 8 : 4u * (trace[at + 2] | trace[at + 3] << 8);
    if (at + 8 + payload > trace.size()) break;
    char line[64];
    std::snprintf(line, sizeof line, "%s %s %s %02x", (trace[at + 1] & 0x08) ? ((trace[at + 1] & 0x10) ? "down" : "up") : "?",
                  actions[trace[at + 1] >> 5], kind == 3 ? "DLLP" : "TLP", trace[at + 8 + (kind == 3 ? 1 : 0)]);
    lines.push_back(line);
    uint32_t time;
    std::memcpy(&time, trace.data() + at + 4, 4);
    times->push_back(time);
    at += 8 + payload;
  }
  EXPECT_EQ(at, trace.size()) << "records do not fill the trace";
  return lines;
}

struct annotation_case {
  const char* name;
  uint8_t code;
  uint8_t match;
  uint8_t type_byte;
  std::vector<std::string> expected;
};

class TraceAnnotationTest : public LinkStationTest, public ::testing::WithParamInterface<annotation_case> {};

TEST_P(TraceAnnotationTest, DirectionActionAndTimeOfEachRecord) {
  const annotation_case& c = GetParam();
  enable_error_reporting();
  program(c.code, 1, c.match, c.match != 0 ? 1 : 0, true, 0, c.type_byte);
  arm();
  const uint64_t armed_at = link_->queue().now();
  EXPECT_EQ(read_dut(), 0x0020ABCDu);
  disarm();
  std::vector<uint32_t> times;
  EXPECT_EQ(annotations(station_->card().trace().bytes(), &times), c.expected);
  // Virtual time: after arming, in link order, never later than the clock now.
  ASSERT_FALSE(times.empty());
  EXPECT_GT(times.front(), static_cast<uint32_t>(armed_at));
  for (std::size_t i = 1; i < times.size(); ++i) EXPECT_LE(times[i - 1], times[i]) << "record " << i;
  EXPECT_LE(times.back(), static_cast<uint32_t>(link_->queue().now()));
}

const annotation_case cases[] = {
    {"nak", fault_command::nak, cpl_d, 0,
     {"down - TLP 04", "up - DLLP 00", "up discarded TLP 4a", "down - DLLP 10", "up replay TLP 4a", "down - DLLP 00"}},
    {"corrupt_lcrc", fault_command::corrupt_lcrc, cfg_rd0, 0,
     {"down bad-lcrc TLP 04", "up - DLLP 10", "down replay TLP 04", "up - TLP 30", "up - DLLP 00", "down - DLLP 00",
      "up - TLP 4a", "down - DLLP 00"}},
    {"duplicate_seq_num", fault_command::duplicate_seq_num, cfg_rd0, 0,
     {"down - TLP 04", "down duplicate TLP 04", "up - DLLP 00", "up - TLP 4a", "down - DLLP 00"}},
    {"corrupt_dllp", fault_command::corrupt_dllp, 0, 0,
     {"down - TLP 04", "up - DLLP 00", "up - TLP 4a", "down bad-dllp-crc DLLP 00", "up - TLP 30", "down - DLLP 00"}},
    {"dllp_reserved_bits", fault_command::dllp_reserved_bits, 0, 0,
     {"down - TLP 04", "up - DLLP 00", "up - TLP 4a", "down dllp-reserved-bits DLLP 00"}},
    {"undefined_dllp", fault_command::undefined_dllp, 0, 0x01,
     {"down - TLP 04", "up - DLLP 00", "up - TLP 4a", "down substituted DLLP 01", "up replay TLP 4a", "up - TLP 30",
      "down - DLLP 00"}},
};

INSTANTIATE_TEST_SUITE_P(CardCommands, TraceAnnotationTest, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkStationTest, TraceWordStillSelectsWhatIsRecordedAndRecordsStayAnnotated) {
  // 0x1000: TLPs only, upstream only. Every record is an annotated upstream TLP.
  card_command(1, 0x1000);
  arm();
  read_dut();
  disarm();
  std::vector<uint32_t> times;
  EXPECT_EQ(annotations(station_->card().trace().bytes(), &times), (std::vector<std::string>{"up - TLP 4a"}));
  EXPECT_EQ(card_word(2), 0x1000u);
}

}  // namespace
}  // namespace zamsim
