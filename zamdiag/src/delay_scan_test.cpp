// The delay scan against a card whose delay line has a range and a window of good samples.
#include "delay_scan.h"

#include "print_format.h"
#include "zamdiag_fixture.h"

namespace zamdiag::testing {
namespace {

// A delay line from `low` to `high` around the start; samples are good in [-1, 1] and half
// good at -2 and 2. Each step answers "busy" to its first two polls.
struct delay_line {
  delay_line(uint32_t block_base, uint32_t control_register) : block(block_base), control(control_register) {}
  uint32_t block, control;
  int low = -5, high = 4;
  int position = 0;
  int busy_polls = 0;
  int sample_reads = 0;
  bool never_done = false;
  bool endless = false;
  std::vector<uint32_t> steps;  // control register offsets written

  void attach(fake_ezusb& card) {
    card.on_xdata_write = [this](uint32_t address, uint8_t) {
      if (address == control + 1) ++position;
      if (address == control + 2) --position;
      if (address == control + 1 || address == control + 2) {
        steps.push_back(address - control);
        busy_polls = 2;
      }
    };
    card.on_xdata_read = [this](uint32_t address) -> std::optional<uint8_t> {
      if (address == control) {
        if (never_done || busy_polls-- > 0) return 0x00;
        const bool end = !endless && (position <= low || position >= high);
        return static_cast<uint8_t>(0x80 | (end ? 1 : 0));
      }
      if (address == control + 3) return static_cast<uint8_t>(0x20 + position);
      if (address == block + 0x20) {
        const bool good = std::abs(position) <= 1 || (std::abs(position) == 2 && ++sample_reads % 2 == 0);
        return good ? 0x02 : 0xFD;
      }
      return std::nullopt;
    };
  }
};

std::string scan_line(int position, bool end, int score) {
  return format("%02x %02x %d %d\n", 0x20 + position, end ? 0x81 : 0x80, position, score);
}

TEST_F(ZamdiagTest, DelayScanSweepsDownUpAndBackToTheStart) {
  card_.xdata[0xCF28] = 0xD1;  // port A, link state 0x11
  delay_line line(0xCF00, 0xD828);
  line.attach(card_);
  EXPECT_EQ(zamdiag({"-t"}), 0);
  std::string expected;
  const int scores[] = {0, 0, 0, 5, 10, 10, 10, 5, 0, 0};  // positions -5 .. 4
  auto score = [&scores](int p) { return scores[p + 5]; };
  for (int p = -1; p >= -5; --p) expected += scan_line(p, p == -5, score(p));
  for (int p = -4; p <= 4; ++p) expected += scan_line(p, p == 4, score(p));
  for (int p = 3; p >= 0; --p) expected += scan_line(p, false, score(p));
  EXPECT_EQ(out_.str(), expected);
  EXPECT_EQ(line.position, 0);
  EXPECT_EQ(line.steps.size(), 18u);
  EXPECT_EQ(line.steps.front(), 2u);  // down is control + 2
  EXPECT_EQ(line.steps[5], 1u);       // up is control + 1
  EXPECT_EQ(err_.str(), "");
}

TEST_F(ZamdiagTest, DelayScanUsesPortBWhenOnlyItIsUp) {
  card_.xdata[0xCF28] = 0x10;
  card_.xdata[0xC728] = 0x51;
  delay_line line(0xC700, 0xD82C);
  line.low = -1;
  line.high = 1;
  line.attach(card_);
  EXPECT_EQ(zamdiag({"-t"}), 0);
  EXPECT_EQ(out_.str(), scan_line(-1, true, 10) + scan_line(0, false, 10) + scan_line(1, true, 10) +
                            scan_line(0, false, 10));

  card_.xdata[0xC728] = 0x10;
  EXPECT_EQ(zamdiag({"-t"}), -2);
  EXPECT_EQ(out_.str(), "no link??\n");
  EXPECT_EQ(card_.requests.size(), 2u);
}

TEST_F(ZamdiagTest, DelayScanIsBoundedWhenTheCardNeverEnds) {
  card_.xdata[0xCF28] = 0x11;
  delay_line line(0xCF00, 0xD828);
  line.never_done = true;
  line.attach(card_);
  EXPECT_EQ(zamdiag({"-t"}), -1);
  EXPECT_EQ(err_.str(), "delay scan: step not finished after 1000 polls\n");
  EXPECT_EQ(out_.str(), "");

  line.never_done = false;
  line.endless = true;
  line.position = 0;
  EXPECT_EQ(zamdiag({"-t"}), -1);
  EXPECT_EQ(err_.str(), "delay scan: no end of the delay range after 256 steps\n");
  EXPECT_EQ(line.position, -256);
}

}  // namespace
}  // namespace zamdiag::testing
