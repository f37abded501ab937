// The link width check: every plugging case, its statuses, result and texts.
#include "width_check.h"

#include <gtest/gtest.h>

namespace nlw {
namespace {

struct outcome {
  VEXO_STATUS_t status;
  plugging slot;
  std::vector<std::string> lines;
};

outcome check(unsigned dm, unsigned dn, unsigned rm, unsigned rn) {
  outcome o;
  o.status = check_widths({dm, dn, rm, rn}, o.slot, o.lines);
  return o;
}

TEST(WidthCheck, AWiderDutPassesWhenItTrainsAtTheSlotsWidth) {
  outcome o = check(8, 4, 4, 4);
  EXPECT_EQ(o.status, 0u);
  EXPECT_EQ(o.slot.down, 1);
  EXPECT_EQ(o.slot.up, 2);
  EXPECT_EQ(o.slot.equal, 2);
  ASSERT_EQ(o.lines.size(), 1u);
  EXPECT_EQ(o.lines[0],
            "TXN_BFT_NegotiatedLinkWidth. DUT IS 8X and RP is 4X. DUT \t\t\t\tNEGOTIATED LINK WIDTH IS 4X");

  o = check(8, 2, 4, 2);
  EXPECT_EQ(o.status, 0x80000006u);
  EXPECT_EQ(o.slot.down, 0);
  EXPECT_EQ(o.lines[0], "TXN_BFT_NegotiatedLinkWidth. ERROR DUT IS 8X and RP is 4X. DUT "
                        "\t\t\t\tNEGOTIATED LINK WIDTH IS NOT 4X");

  // Other widths: the same case with the real widths, not "bigger root port, not equal".
  o = check(16, 8, 8, 8);
  EXPECT_EQ(o.status, 0u);
  EXPECT_EQ(o.slot.down, 1);
  EXPECT_EQ(o.lines[0], "TXN_BFT_NegotiatedLinkWidth. DUT IS 16X and RP is 8X. DUT "
                        "\t\t\t\tNEGOTIATED LINK WIDTH IS 8X");
  EXPECT_EQ(check(4, 1, 1, 1).status, 0u);
  EXPECT_EQ(check(16, 4, 8, 4).status, 0x80000006u);
}

TEST(WidthCheck, EqualMaximumWidths) {
  outcome o = check(4, 4, 4, 4);
  EXPECT_EQ(o.status, 0u);
  EXPECT_EQ(o.slot.equal, 1);
  EXPECT_EQ(o.lines.size(), 3u);
  EXPECT_EQ(o.lines[1], "TXN_BFT_NegotiatedLinkWidth. DUT and RP have SAME Max link widths. "
                        "\t\t\t\tDUT Negotiated Link Width IS EQUAL TO DUT MAX LINK WIDTH\n");

  // Both ends trained narrower than their maximum: both lines fail.
  o = check(4, 2, 4, 2);
  EXPECT_EQ(o.status, 0x80000006u);
  EXPECT_EQ(o.slot.equal, 0);
  EXPECT_EQ(o.lines.size(), 3u);

  o = check(4, 2, 4, 4);
  EXPECT_EQ(o.status, 0x80000006u);
  EXPECT_EQ(o.slot.equal, 0);
  ASSERT_EQ(o.lines.size(), 1u);
  EXPECT_EQ(o.lines[0], "TXN_BFT_NegotiatedLinkWidth. **ERROR***. \t\t\t\tDUT and RP have the same "
                        "Max link widths. \t\t\t\tNegotiated Link Widths are NOT EQUAL\n");
}

TEST(WidthCheck, ASlotWiderThanTheDut) {
  outcome o = check(4, 4, 16, 4);
  EXPECT_EQ(o.status, 0u);
  EXPECT_EQ(o.slot.up, 1);
  EXPECT_EQ(o.lines.back(), "TXN_BFT_NegotiatedLinkWidth. ROOT PORT HAS BIGGER LINK WIDTH THAN DUT. "
                            "\t\t\t\tDUT Negotiated Link Width IS EQUAL TO DUT MAX LINK WIDTH\n");
  o = check(4, 2, 16, 2);
  EXPECT_EQ(o.status, 0x80000006u);
  EXPECT_EQ(o.slot.up, 0);
  o = check(4, 4, 16, 16);
  EXPECT_EQ(o.status, 0x80000006u);
  EXPECT_EQ(o.slot.up, 0);
  EXPECT_EQ(o.lines[0], "TXN_BFT_NegotiatedLinkWidth. DUT and RP have different MAX link "
                        "widths.\t\t\t Negotiated Link Widths are NOT EQUAL\n");
}

TEST(WidthCheck, AWidthNoLinkHasFailsWithoutCountingAPluggingCase) {
  struct width_case {
    unsigned dm, dn, rm, rn;
    std::vector<std::string> lines;
  };
  const std::string head = "TXN_BFT_NegotiatedLinkWidth. **ERROR**. ";
  const std::string tail = " is not a PCI Express link width (x1, x2, x4, x8, x12, x16, x32)";
  const width_case cases[] = {
      // An x0 DUT in an x4 slot whose link is down: before, "ROOT PORT HAS BIGGER LINK WIDTH"
      // and a pass.
      {0, 0, 4, 0,
       {head + "DUT max link width[0]" + tail + "\n",
        head + "DUT negotiated link width[0]" + tail + ": the link is down\n",
        head + "Root Port negotiated link width[0]" + tail + ": the link is down\n"}},
      {3, 3, 3, 3,
       {head + "DUT max link width[3]" + tail + "\n", head + "DUT negotiated link width[3]" + tail + "\n",
        head + "Root Port max link width[3]" + tail + "\n",
        head + "Root Port negotiated link width[3]" + tail + "\n"}},
      {4, 0, 4, 0,
       {head + "DUT negotiated link width[0]" + tail + ": the link is down\n",
        head + "Root Port negotiated link width[0]" + tail + ": the link is down\n"}},
      {64, 16, 16, 16, {head + "DUT max link width[64]" + tail + "\n"}},
  };
  for (const width_case& c : cases) {
    const outcome o = check(c.dm, c.dn, c.rm, c.rn);
    EXPECT_EQ(o.status, 0x80000006u) << c.dm << " " << c.dn << " " << c.rm << " " << c.rn;
    EXPECT_EQ(o.lines, c.lines);
    EXPECT_EQ(o.slot.up, 2);
    EXPECT_EQ(o.slot.equal, 2);
    EXPECT_EQ(o.slot.down, 2);
  }
  // Every width a link has is compared as before.
  for (unsigned width : {1u, 2u, 4u, 8u, 12u, 16u, 32u}) {
    EXPECT_EQ(check(width, width, width, width).status, 0u) << width;
  }
}

}  // namespace
}  // namespace nlw
