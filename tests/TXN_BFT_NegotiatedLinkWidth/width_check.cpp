// The link width check of TXN_BFT_NegotiatedLinkWidth.
#include "width_check.h"

#include <cstdio>

#include "common/link_width.h"

namespace nlw {
namespace {

constexpr VEXO_STATUS_t failed = 0x80000006;

std::string formatted(const char* format, unsigned int a, unsigned int b, unsigned int c) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// One ERROR line per width that no PCI Express link has; true when all four are widths.
bool widths_exist(const widths& w, std::vector<std::string>& lines) {
  struct named {
    const char* name;
    unsigned int width;
    bool negotiated;
  };
  bool all = true;
  for (const named& n : {named{"DUT max link width", w.dut_max, false},
                         named{"DUT negotiated link width", w.dut_negotiated, true},
                         named{"Root Port max link width", w.port_max, false},
                         named{"Root Port negotiated link width", w.port_negotiated, true}}) {
    if (zam::is_link_width(n.width)) continue;
    char text[256];
    std::snprintf(text, sizeof text,
                  "TXN_BFT_NegotiatedLinkWidth. **ERROR**. %s[%u] is not a PCI Express link "
                  "width (x1, x2, x4, x8, x12, x16, x32)%s\n",
                  n.name, n.width, n.negotiated && n.width == 0 ? ": the link is down" : "");
    lines.push_back(text);
    all = false;
  }
  return all;
}

}  // namespace

VEXO_STATUS_t check_widths(const widths& w, plugging& slot, std::vector<std::string>& lines) {
  // Widths no link has cannot be compared; no plugging case counts as tested.
  if (!widths_exist(w, lines)) return failed;
  // A DUT wider than its slot must shift down to the slot's width (x8 in x4, x16 in x8, ...).
  if (w.dut_max > w.port_max) {
    if (w.dut_negotiated == w.port_max) {
      slot.down = 1;
      lines.push_back(formatted("TXN_BFT_NegotiatedLinkWidth. DUT IS %uX and RP is %uX. DUT "
                                "\t\t\t\tNEGOTIATED LINK WIDTH IS %uX",
                                w.dut_max, w.port_max, w.port_max));
      return VEXO_STATUS_SUCCESS;
    }
    slot.down = 0;
    lines.push_back(formatted("TXN_BFT_NegotiatedLinkWidth. ERROR DUT IS %uX and RP is %uX. DUT "
                              "\t\t\t\tNEGOTIATED LINK WIDTH IS NOT %uX",
                              w.dut_max, w.port_max, w.port_max));
    return failed;
  }
  const bool same_max = w.dut_max == w.port_max;
  if (w.dut_negotiated != w.port_negotiated) {
    if (same_max) {
      slot.equal = 0;
      lines.push_back(
          "TXN_BFT_NegotiatedLinkWidth. **ERROR***. \t\t\t\tDUT and RP have the same Max link "
          "widths. \t\t\t\tNegotiated Link Widths are NOT EQUAL\n");
    } else {
      slot.up = 0;
      lines.push_back(
          "TXN_BFT_NegotiatedLinkWidth. DUT and RP have different MAX link widths.\t\t\t "
          "Negotiated Link Widths are NOT EQUAL\n");
    }
    return failed;
  }
  if (same_max) {
    slot.equal = 1;
    lines.push_back(
        "TXN_BFT_NegotiatedLinkWidth. DUT and RP have same Max link widths. \t\t\t\tNegotiated "
        "Link Widths are EQUAL\n");
  } else {
    slot.up = 1;
    lines.push_back(
        "TXN_BFT_NegotiatedLinkWidth. DUT and RP have different Max link widths. "
        "\t\t\t\tNegotiated Link Widths are EQUAL\n");
  }
  VEXO_STATUS_t result = VEXO_STATUS_SUCCESS;
  if (same_max) {
    if (w.dut_negotiated == w.dut_max) {
      slot.equal = 1;
      lines.push_back(
          "TXN_BFT_NegotiatedLinkWidth. DUT and RP have SAME Max link widths. \t\t\t\tDUT "
          "Negotiated Link Width IS EQUAL TO DUT MAX LINK WIDTH\n");
    } else {
      slot.equal = 0;
      lines.push_back(
          "TXN_BFT_NegotiatedLinkWidth. ***DUT ERROR***DUT and RP have SAME Max link widths. "
          "\t\t\t\tDUT Negotiated Link Width IS NOT EQUAL TO DUT MAX LINK WIDTH\n");
      result = failed;
    }
    if (w.port_negotiated == w.port_max) {
      slot.equal = 1;
      lines.push_back(
          "TXN_BFT_NegotiatedLinkWidth. DUT and RP have SAME Max link widths. \t\t\t\tRoot Port "
          "Negotiated Link Width IS EQUAL TO Root Port MAX LINK WIDTH\n");
    } else {
      slot.equal = 0;
      lines.push_back(
          "TXN_BFT_NegotiatedLinkWidth. ***DUT ERROR***DUT and RP have SAME Max link widths. "
          "\t\t\t\tRoot Port Negotiated Link Width IS NOT EQUAL TO Root Port MAX LINK WIDTH\n");
      result = failed;
    }
    return result;
  }
  if (w.dut_negotiated == w.dut_max) {
    slot.up = 1;
    lines.push_back(
        "TXN_BFT_NegotiatedLinkWidth. ROOT PORT HAS BIGGER LINK WIDTH THAN DUT. \t\t\t\tDUT "
        "Negotiated Link Width IS EQUAL TO DUT MAX LINK WIDTH\n");
    return VEXO_STATUS_SUCCESS;
  }
  slot.up = 0;
  lines.push_back(
      "TXN_BFT_NegotiatedLinkWidth. **ERROR**. ROOT PORT HAS BIGGER LINK WIDTH THAN DUT. "
      "\t\t\t\tDUT Negotiated Link Width IS NOT EQUAL TO DUT MAX LINK WIDTH\n");
  return failed;
}

}  // namespace nlw
