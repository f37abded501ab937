// The report's decoded trace: match rules, marks per program, window and repeats, the exact
// timeline and table of a small exchange, escaping, empty and invalid traces.
#include "trace_view.h"

#include <gtest/gtest.h>

#include "xml_tree.h"

namespace zamsuite {
namespace {

using zamtrace::decoded_record;
using zamtrace::link_direction;
using zamtrace::record_kind;

constexpr auto up = link_direction::upstream;
constexpr auto down = link_direction::downstream;

decoded_record tlp(std::string type, link_direction d, std::vector<uint8_t> bytes) {
  decoded_record r;
  r.kind = record_kind::tlp;
  r.type = std::move(type);
  r.direction = d;
  r.bytes = std::move(bytes);
  return r;
}

decoded_record dllp(std::string type, link_direction d, uint8_t type_byte, uint16_t seq_or_credits) {
  decoded_record r;
  r.kind = record_kind::dllp;
  r.type = std::move(type);
  r.direction = d;
  r.bytes = {0, type_byte, 0, static_cast<uint8_t>(seq_or_credits >> 8), static_cast<uint8_t>(seq_or_credits), 0, 0, 0};
  if (r.type == "Ack" || r.type == "Nak") r.seq = seq_or_credits;
  return r;
}

decoded_record invalid(std::vector<uint8_t> bytes, std::string problem) {
  decoded_record r;
  r.kind = record_kind::invalid;
  r.bytes = std::move(bytes);
  r.problem = std::move(problem);
  return r;
}

std::vector<decoded_record> numbered(std::vector<decoded_record> records) {
  for (std::size_t i = 0; i < records.size(); ++i) records[i].index = i;
  return records;
}

// The host's configuration read, the DUT's completion, the card's Nak, the replayed
// completion and the Ack that ends it.
std::vector<decoded_record> nak_exchange() {
  decoded_record read = tlp("CfgRd0", down, {0x04, 0, 0, 1, 0, 0, 1, 0x0F, 1, 0, 0, 0});
  read.tag = 1;
  read.requester = 0x0000;
  read.config_register = 0;
  read.length = 1;
  read.time_ns = 1000;
  decoded_record completion = tlp("CplD", up, {0x4A, 0, 0, 1, 1, 0, 0, 4, 0, 0, 1, 0, 0x86, 0x80, 0x34, 0x12});
  completion.tag = 1;
  completion.completer = 0x0100;
  completion.requester = 0x0000;
  completion.status = "SC";
  completion.length = 1;
  completion.time_ns = 2500;
  decoded_record nak = dllp("Nak", down, 0x10, 0);
  nak.time_ns = 3000;
  decoded_record replay = completion;
  replay.marks = zamtrace::mark_replay;
  replay.time_ns = 4000;
  decoded_record ack = dllp("Ack", down, 0x00, 0);
  ack.time_ns = 5125;
  return numbered({read, completion, nak, replay, ack});
}

void expect_contains(const std::string& text, const std::string& part) {
  EXPECT_NE(text.find(part), std::string::npos) << "missing:\n" << part << "\nin:\n" << text;
}

TEST(TraceViewTest, TlpMatchFlagsAndDllpTypesFollowTheFrameworkRules) {
  const std::vector<uint8_t> cpld = {0x4A, 0, 0, 1}, cpl = {0x0A, 0, 0, 0}, mrd64 = {0x20, 0, 0x02, 0x10};
  struct tlp_case {
    uint8_t byte0;
    uint16_t length;
    uint32_t flags;
    const std::vector<uint8_t>* header;
    bool match;
  } const tlp_cases[] = {
      {0x4A, 0, match_fmt | match_type, &cpld, true},
      {0x4A, 0, match_fmt | match_type, &cpl, true},               // Type compared last decides
      {0x4A, 0, match_all | match_fmt | match_type, &cpl, false},  // every field must match
      {0x0A, 0, match_fmt | match_type, &cpld, true},
      {0x4A, 0, match_fmt, &cpl, false},                           // only Fmt: its outcome stands
      {0x4A, 0, match_type, &cpl, true},
      {0x4A, 0, 0, &mrd64, true},                                  // no flag: every TLP
      {0x00, 0x210, match_length, &mrd64, true},                   // 10 bits from bytes 2-3
      {0x00, 0x010, match_length, &mrd64, false},
      {0x20, 0x010, match_fmt | match_length, &mrd64, false},      // Length compared last
      {0x00, 0x210, match_fmt | match_length, &mrd64, true},
      {0x00, 0x210, match_all | match_fmt | match_length, &mrd64, false},
  };
  for (const tlp_case& c : tlp_cases) {
    const trace_search s{"t", trace_search::rule::tlp, c.byte0, c.length, c.flags, 0, 0};
    EXPECT_EQ(tlp_matches(s, *c.header), c.match) << std::hex << int(c.byte0) << " flags " << c.flags << " header "
                                                  << int((*c.header)[0]);
  }
  // A TLP too short for the fields compared does not match; with no flag it still does.
  EXPECT_FALSE(tlp_matches({"t", trace_search::rule::tlp, 0x4A, 0, match_type, 0, 0}, {}));
  EXPECT_FALSE(tlp_matches({"t", trace_search::rule::tlp, 0, 0, match_length, 0, 0}, {0x00, 0}));
  EXPECT_TRUE(tlp_matches({"t", trace_search::rule::tlp, 0x4A, 0, 0, 0, 0}, {}));

  const std::pair<uint8_t, uint8_t> types[] = {{0x41, 0x40}, {0x47, 0x40}, {0x61, 0x60}, {0xC2, 0xC0}, {0xE7, 0xE0},
                                               {0x21, 0x21}, {0x20, 0x20}, {0x10, 0x10}, {0x31, 0x31}, {0x71, 0x71},
                                               {0xB1, 0xB1}, {0xF3, 0xF3}, {0x00, 0x00}};
  for (const auto& [byte, type] : types) EXPECT_EQ(dllp_match_type(byte), type) << std::hex << int(byte);
}

TEST(TraceViewTest, EachProgramsSearchesMarkTheRecordsTheyCount) {
  decoded_record err_cor = tlp("Msg", up, {0x30, 0, 0, 0, 1, 0, 0, 0x30, 0, 0, 0, 0, 0, 0, 0, 0});
  err_cor.message_code = 0x30;
  decoded_record err_fatal = tlp("Msg", up, {0x30, 0, 0, 0, 1, 0, 0, 0x33, 0, 0, 0, 0, 0, 0, 0, 0});
  err_fatal.message_code = 0x33;
  const std::vector<decoded_record> trace = numbered({
      tlp("CfgRd0", down, {0x04, 0, 0, 1, 0, 0, 1, 0x0F, 1, 0, 0, 0}),  // 0
      tlp("CplD", up, {0x4A, 0, 0, 1, 1, 0, 0, 4, 0, 0, 1, 0}),         // 1
      dllp("Nak", down, 0x10, 0),                                        // 2
      tlp("Cpl", up, {0x0A, 0, 0, 0, 1, 0, 0, 4, 0, 0, 1, 0}),          // 3: Fmt differs, Type the same
      err_cor,                                                           // 4
      dllp("Nak", down, 0x10, 0),                                        // 5
      dllp("Ack", down, 0x00, 1),                                        // 6
      err_fatal,                                                         // 7
      dllp("UpdateFC-P", up, 0x61, 0x0840),                              // 8: VC 1
      dllp("Ack", down, 0x00, 2),                                        // 9
      tlp("MWr32", up, {0x40, 0, 0, 1, 1, 0, 0, 0x0F, 0, 0, 0, 0x30}),  // 10: byte 7 alone says nothing
  });
  struct program_case {
    const char* program;
    std::vector<std::string> labels;
    std::vector<std::size_t> counts;
    std::vector<uint32_t> by_record;
  } const cases[] = {
      {"ReXmitOnNak_EP_USW", {"CplD (Fmt, Type)"}, {2}, {0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {"BadLCRC_EP_USW", {"CplD (Fmt, Type)", "Nak (first)", "ERR_COR"}, {2, 1, 1}, {0, 1, 2, 1, 4, 0, 0, 0, 0, 0, 0}},
      {"DuplicateTLPSeqNum_EP_USW", {"Ack", "CplD (Fmt, Type)"}, {2, 2}, {0, 2, 0, 2, 0, 0, 1, 0, 0, 1, 0}},
      {"WrongSeqNumInAckDLLP_EP_USW", {"CplD (Fmt, Type)", "ERR_FATAL"}, {2, 1}, {0, 1, 0, 1, 0, 0, 0, 2, 0, 0, 0}},
      {"CorruptedDLLPs_EP_USW", {"CplD (Fmt, Type)", "ERR_COR"}, {2, 1}, {0, 1, 0, 1, 2, 0, 0, 0, 0, 0, 0}},
      {"LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", {"CplD (Fmt, Type)"}, {2}, {0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {"TXN_BFT_NegotiatedLinkWidth", {}, {}, {}},
      {"no such program", {}, {}, {}},
  };
  for (const program_case& c : cases) {
    const counted_marks marks = count_searches(trace, program_searches(c.program));
    EXPECT_EQ(marks.labels, c.labels) << c.program;
    EXPECT_EQ(marks.counts, c.counts) << c.program;
    EXPECT_EQ(marks.by_record, c.by_record) << c.program;
  }
  // Every data-link program counts the DUT's completions.
  for (const char* program : {"CorruptedDLLPs_EP_USW", "LinkRetrainOnRetryFail_EP_USW", "ReplayNumTest_EP_USW",
                              "ReplayTLPOrder_EP_USW", "ReplayTimerTest_EP_USW", "ReservedFieldsDLLPReceive_EP_USW",
                              "UndefinedDLLPEncoding_EP_USW"}) {
    const counted_marks marks = count_searches(trace, program_searches(program));
    ASSERT_FALSE(marks.labels.empty()) << program;
    EXPECT_EQ(marks.labels[0], "CplD (Fmt, Type)") << program;
    EXPECT_EQ(marks.counts[0], 2u) << program;
  }
  // A flow-control search ignores the virtual channel bits.
  const counted_marks fc = count_searches(trace, {{"UpdateFC-P", trace_search::rule::dllp, 0x60, 0, 0, 0, 0}});
  EXPECT_EQ(fc.counts, std::vector<std::size_t>{1});
  EXPECT_TRUE(fc.counted(8));
}

TEST(TraceViewTest, CountingStopsWhereTheFrameworkWalkEnds) {
  const std::vector<trace_search> cpld = program_searches("ReXmitOnNak_EP_USW");
  const decoded_record completion = tlp("CplD", up, {0x4A, 0, 0, 1});
  // A record of a kind the framework steps over keeps the walk going; a missing marker ends it.
  const counted_marks stepped = count_searches(
      numbered({completion, invalid({0xF1, 0x05, 0, 0, 0, 0, 0, 0}, "record kind 5"), completion}), cpld);
  EXPECT_EQ(stepped.counts, std::vector<std::size_t>{2});
  const counted_marks ended = count_searches(
      numbered({completion, invalid({0x00, 0x11, 0x22}, "no record marker"), completion}), cpld);
  EXPECT_EQ(ended.counts, std::vector<std::size_t>{1});
  EXPECT_EQ(ended.by_record, (std::vector<uint32_t>{1, 0, 0}));
  const counted_marks empty = count_searches(numbered({completion, invalid({}, "cut"), completion}), cpld);
  EXPECT_EQ(empty.counts, std::vector<std::size_t>{1});
}

TEST(TraceViewTest, NakExchangeDrawsExactTimelineAndTable) {
  const std::vector<decoded_record> records = nak_exchange();
  const counted_marks marks = count_searches(records, program_searches("ReXmitOnNak_EP_USW"));
  const std::string html = trace_section_html(records, marks);
  std::string error;
  ASSERT_TRUE(zamsuite_test::parse_xml("<div>" + html + "</div>", &error)) << error;
  expect_contains(html, "<p class=\"searches\">Counted by the program's searches: CplD (Fmt, Type) 2.</p>\n"
                        "<p class=\"view\">5 records in 5 lines.</p>\n");
  expect_contains(html, "<svg class=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" width=\"760\" height=\"176\" "
                        "viewBox=\"0 0 760 176\" role=\"img\">\n"
                        "<text class=\"lifeline-name\" x=\"240\" y=\"18\">ZAM card</text>"
                        "<text class=\"lifeline-name\" x=\"640\" y=\"18\">DUT</text>\n"
                        "<line class=\"lifeline\" x1=\"240\" y1=\"26\" x2=\"240\" y2=\"172\"/>"
                        "<line class=\"lifeline\" x1=\"640\" y1=\"26\" x2=\"640\" y2=\"172\"/>\n");
  // The read goes down to the DUT, its completion comes up, counted.
  expect_contains(html, "<text class=\"when\" x=\"4\" y=\"60\">#0 1.000 \xC2\xB5s</text>\n"
                        "<line class=\"packet\" x1=\"240\" y1=\"60\" x2=\"640\" y2=\"60\"/>"
                        "<polygon class=\"packet\" points=\"640,60 631,56 631,64\"/>\n"
                        "<text class=\"label\" x=\"440\" y=\"56\">CfgRd0 tag 1</text>\n");
  expect_contains(html, "<rect class=\"counted\" x=\"0\" y=\"68\" width=\"760\" height=\"24\"/>\n"
                        "<text class=\"when\" x=\"4\" y=\"84\">#1 2.500 \xC2\xB5s</text>\n"
                        "<line class=\"packet\" x1=\"640\" y1=\"84\" x2=\"240\" y2=\"84\"/>"
                        "<polygon class=\"packet\" points=\"240,84 249,80 249,88\"/>\n"
                        "<text class=\"label\" x=\"440\" y=\"80\">CplD tag 1</text>\n");
  // The Nak in the warning colour; the replay tied to the completion it repeats.
  expect_contains(html, "<line class=\"packet warn\" x1=\"240\" y1=\"108\" x2=\"640\" y2=\"108\"/>"
                        "<polygon class=\"packet warn\" points=\"640,108 631,104 631,112\"/>\n"
                        "<text class=\"label warn\" x=\"440\" y=\"104\">Nak seq 0</text>\n");
  expect_contains(html, "<text class=\"label\" x=\"440\" y=\"128\">CplD tag 1 [replay] (replay of #1)</text>\n"
                        "<path class=\"replay\" d=\"M640,84 H680 V132 H640\"/>\n");
  expect_contains(html, "<text class=\"when\" x=\"4\" y=\"156\">#4 5.125 \xC2\xB5s</text>\n"
                        "<line class=\"packet\" x1=\"240\" y1=\"156\" x2=\"640\" y2=\"156\"/>");
  EXPECT_EQ(html.find("replay of #3"), std::string::npos);  // the Ack and the read are no replays
  // The table: one row per record, the counted ones marked with the search that counted them.
  expect_contains(html, "<tr><td class=\"num\">#0</td><td class=\"num\">1.000 \xC2\xB5s</td><td>card \xE2\x86\x92 DUT"
                        "</td><td>CfgRd0</td><td>requester 00:00.0</td><td class=\"num\">1</td><td>reg 0x000</td>"
                        "<td class=\"num\">1</td><td></td><td></td><td></td></tr>\n");
  expect_contains(html, "<tr class=\"counted\"><td class=\"num\">#3</td><td class=\"num\">4.000 \xC2\xB5s</td>"
                        "<td>DUT \xE2\x86\x92 card</td><td>CplD</td><td>completer 01:00.0, requester 00:00.0</td>"
                        "<td class=\"num\">1</td><td></td><td class=\"num\">1</td><td>SC</td><td>replay</td>"
                        "<td>CplD (Fmt, Type)</td></tr>\n");
  expect_contains(html, "<tr class=\"warn\"><td class=\"num\">#2</td><td class=\"num\">3.000 \xC2\xB5s</td>"
                        "<td>card \xE2\x86\x92 DUT</td><td>Nak</td><td></td><td class=\"num\"></td><td></td>"
                        "<td class=\"num\"></td><td>seq 0</td><td></td><td></td></tr>\n");
}

TEST(TraceViewTest, ReplaysAreTiedByCardMarkOrByANakInBetween) {
  const decoded_record cpld = tlp("CplD", up, {0x4A, 0, 0, 1, 1, 0, 0, 4});
  decoded_record marked = cpld;
  marked.marks = zamtrace::mark_duplicate;
  struct replay_case {
    const char* name;
    std::vector<decoded_record> records;
    const char* tie;  // text the timeline must hold, or nullptr for none
  } const cases[] = {
      {"Nak from the other side", {cpld, dllp("Nak", down, 0x10, 0), cpld}, "(replay of #0)"},
      {"no Nak: a second completion", {cpld, dllp("Ack", down, 0x00, 0), cpld}, nullptr},
      {"Nak from the same side", {cpld, dllp("Nak", up, 0x10, 0), cpld}, nullptr},
      {"marked by the card", {cpld, marked}, "(replay of #0)"},
      {"other bytes", {cpld, dllp("Nak", down, 0x10, 0), tlp("CplD", up, {0x4A, 0, 0, 1, 1, 0, 0, 8})}, nullptr},
      {"the latest original", {cpld, dllp("Nak", down, 0x10, 0), cpld, dllp("Nak", down, 0x10, 0), cpld},
       "(replay of #2)"},
  };
  // A chain of replays: each bracket starts where the one before ends, so they alternate
  // between two lanes rather than drawing over each other.
  const std::vector<decoded_record> chain = numbered(
      {cpld, dllp("Nak", down, 0x10, 0), cpld, dllp("Nak", down, 0x10, 0), cpld, dllp("Nak", down, 0x10, 0), cpld});
  const std::string chained = timeline_svg(chain, {}, trace_view(chain, {}));
  expect_contains(chained, "<path class=\"replay\" d=\"M640,60 H680 V108 H640\"/>");
  expect_contains(chained, "<path class=\"replay\" d=\"M640,108 H692 V156 H640\"/>");
  expect_contains(chained, "<path class=\"replay\" d=\"M640,156 H680 V204 H640\"/>");
  // Downstream replays are bracketed outside the card's lifeline.
  const decoded_record read = tlp("CfgRd0", down, {0x04, 0, 0, 1});
  const std::vector<decoded_record> down_replay = numbered({read, dllp("Nak", up, 0x10, 0), read});
  expect_contains(timeline_svg(down_replay, {}, trace_view(down_replay, {})),
                  "<path class=\"replay\" d=\"M240,60 H200 V108 H240\"/>");
  for (const replay_case& c : cases) {
    const std::vector<decoded_record> records = numbered(c.records);
    const std::string svg = timeline_svg(records, {}, trace_view(records, {}));
    if (c.tie == nullptr) {
      EXPECT_EQ(svg.find("replay of"), std::string::npos) << c.name;
      EXPECT_EQ(svg.find("class=\"replay\""), std::string::npos) << c.name;
    } else {
      EXPECT_NE(svg.find(c.tie), std::string::npos) << c.name << "\n" << svg;
      EXPECT_NE(svg.find("<path class=\"replay\" d=\"M640,60 H680 V"), std::string::npos) << c.name;
    }
  }
}

TEST(TraceViewTest, RepeatsCollapseIntoOneLine) {
  const auto fc = [](uint16_t credits) {
    decoded_record r = dllp("UpdateFC-P", up, 0x60, credits);
    r.header_credits = static_cast<uint8_t>(credits & 0xFF);
    r.data_credits = static_cast<uint16_t>(credits * 4);
    return r;
  };
  const auto ack = [](uint16_t seq) { return dllp("Ack", down, 0x00, seq); };
  using w = view_item::what;
  struct run_case {
    const char* name;
    std::vector<decoded_record> records;
    std::vector<std::pair<w, std::size_t>> lines;  // kind and records of each line
  } const cases[] = {
      {"flow control with moving credits", {ack(1), fc(1), fc(2), fc(3), fc(4), ack(2)},
       {{w::record, 1}, {w::run, 4}, {w::record, 1}}},
      {"two are drawn as they are", {fc(1), fc(2)}, {{w::record, 1}, {w::record, 1}}},
      {"identical Acks", {ack(5), ack(5), ack(5)}, {{w::run, 3}}},
      {"Acks of moving sequence numbers", {ack(1), ack(2), ack(3)}, {{w::record, 1}, {w::record, 1}, {w::record, 1}}},
      {"another direction breaks a run",
       {fc(1), fc(2), fc(3), dllp("UpdateFC-P", down, 0x60, 4), fc(5)},
       {{w::run, 3}, {w::record, 1}, {w::record, 1}}},
  };
  for (const run_case& c : cases) {
    const std::vector<decoded_record> records = numbered(c.records);
    const std::vector<view_item> view = trace_view(records, {});
    ASSERT_EQ(view.size(), c.lines.size()) << c.name;
    std::size_t next = 0;
    for (std::size_t i = 0; i < view.size(); ++i) {
      EXPECT_EQ(view[i].kind, c.lines[i].first) << c.name << " line " << i;
      EXPECT_EQ(view[i].count, c.lines[i].second) << c.name << " line " << i;
      EXPECT_EQ(view[i].first, next) << c.name << " line " << i;
      next += view[i].count;
    }
  }
  // A record a search counted is not swallowed by a run of records it did not count.
  std::vector<decoded_record> fcs;
  for (uint16_t i = 0; i < 212; ++i) fcs.push_back(fc(i));
  fcs = numbered(fcs);
  const counted_marks marks = count_searches(fcs, {{"one", trace_search::rule::dllp, 0x60, 0, 0, 0, 0}});
  EXPECT_EQ(trace_view(fcs, marks).size(), 1u);  // all counted alike: still one run
  counted_marks one = marks;
  one.by_record.assign(fcs.size(), 0);
  one.by_record[100] = 1;
  const std::vector<view_item> split = trace_view(fcs, one, {300, 3, 400});
  ASSERT_EQ(split.size(), 3u);
  EXPECT_EQ(split[1].kind, w::record);
  EXPECT_EQ(split[1].first, 100u);
  // Drawn: one arrow labelled with the count, the table's row spans the records.
  const std::string html = trace_section_html(fcs, {});
  expect_contains(html, ">UpdateFC-P x 212</text>");
  expect_contains(html, "<tr class=\"run\"><td class=\"num\">#0\xE2\x80\x93#211</td><td class=\"num\"></td>"
                        "<td>DUT \xE2\x86\x92 card</td><td>UpdateFC-P x 212</td>"
                        "<td colspan=\"5\">credits hdr 0 data 0 to hdr 211 data 844</td><td></td><td></td></tr>\n");
  expect_contains(html, "<p class=\"view\">212 records in 1 line; 1 run of repeats drawn as one.</p>");
}

TEST(TraceViewTest, WindowAroundTheCountedRecordsAndTheLineLimit) {
  std::vector<decoded_record> records;
  for (uint16_t i = 0; i < 1000; ++i) records.push_back(dllp("Ack", down, 0x00, i));
  records[500] = tlp("CplD", up, {0x4A, 0, 0, 1});
  records[510] = tlp("CplD", up, {0x4A, 0, 0, 1, 0});
  records = numbered(records);
  const counted_marks marks = count_searches(records, program_searches("ReXmitOnNak_EP_USW"));
  using w = view_item::what;
  const std::vector<view_item> view = trace_view(records, marks);
  ASSERT_EQ(view.size(), 29u);  // 492 left out, 492..518, 481 left out
  EXPECT_EQ(view.front().kind, w::left_out);
  EXPECT_EQ(view.front().first, 0u);
  EXPECT_EQ(view.front().count, 492u);
  EXPECT_EQ(view[1].first, 492u);
  EXPECT_EQ(view[27].first, 518u);
  EXPECT_EQ(view.back().kind, w::left_out);
  EXPECT_EQ(view.back().first, 519u);
  EXPECT_EQ(view.back().count, 481u);
  // Counted records at the edges: the window is cut at the trace's ends.
  const std::vector<view_item> edge = trace_view(records, marks, {600, 3, 2000});
  EXPECT_EQ(edge.size(), 1000u);
  EXPECT_EQ(edge.front().kind, w::record);
  // Nothing counted and too many lines: both ends kept, the middle a note.
  const std::vector<view_item> capped = trace_view(records, {}, {8, 3, 10});
  ASSERT_EQ(capped.size(), 11u);
  EXPECT_EQ(capped[4].first, 4u);
  EXPECT_EQ(capped[5].kind, w::left_out);
  EXPECT_EQ(capped[5].first, 5u);
  EXPECT_EQ(capped[5].count, 990u);
  EXPECT_EQ(capped[6].first, 995u);
  // The notes as drawn and as table rows.
  const std::string html = trace_section_html(records, marks);
  expect_contains(html, "<p class=\"view\">1000 records in 29 lines; 973 records left out.</p>");
  expect_contains(html, ">492 records left out: #0\xE2\x80\x93#491</text>");
  expect_contains(html, "<tr class=\"left-out\"><td colspan=\"11\">481 records left out: #519\xE2\x80\x93#999</td></tr>");
}

TEST(TraceViewTest, HostileTextIsEscapedEverywhere) {
  decoded_record odd = tlp("<script>&\"'", up, {0x4A, 0, 0, 1});
  decoded_record bad = invalid({0xF1, 0x07}, "kind <7> & \"more\"\x01");
  std::vector<decoded_record> records = numbered({odd, bad});
  counted_marks marks = count_searches(records, program_searches("ReXmitOnNak_EP_USW"));
  marks.labels[0] = "<b>bold</b>";
  const std::string html = trace_section_html(records, marks);
  std::string error;
  ASSERT_TRUE(zamsuite_test::parse_xml("<div>" + html + "</div>", &error)) << error << "\n" << html;
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  expect_contains(html, "<text class=\"label\" x=\"440\" y=\"56\">&lt;script&gt;&amp;&quot;&#39;</text>");
  expect_contains(html, "<td>&lt;script&gt;&amp;&quot;&#39;</td>");
  expect_contains(html, "kind &lt;7&gt; &amp; &quot;more&quot;\\x01: f1 07</td>");
  expect_contains(html, "Counted by the program's searches: &lt;b&gt;bold&lt;/b&gt; 1.");
}

TEST(TraceViewTest, EmptyTraceInvalidRecordsAndUnknownDirections) {
  EXPECT_EQ(trace_section_html({}, {}), "<p class=\"searches\">No records in the trace.</p>\n");
  EXPECT_TRUE(trace_view({}, {}).empty());

  decoded_record read = tlp("MRd32", link_direction::unknown, {0, 0, 0, 1});
  read.tag = 7;
  const std::vector<decoded_record> records =
      numbered({read, invalid({0xF1, 0x05, 0, 0, 0, 0, 0, 0}, "record kind 5"), invalid({0xAB, 0xCD, 0xEF}, "")});
  const std::string html = trace_section_html(records, {});
  // Nothing searched: said so, and nothing dropped.
  expect_contains(html, "<p class=\"searches\">No trace searches known for this program: no records marked.</p>\n"
                        "<p class=\"view\">3 records in 3 lines.</p>\n");
  // No direction: drawn centred and said.
  expect_contains(html, "<line class=\"packet unknown\" x1=\"380\" y1=\"60\" x2=\"500\" y2=\"60\"/>\n"
                        "<text class=\"label\" x=\"440\" y=\"56\">MRd32 tag 7 (direction unknown)</text>\n");
  // Invalid records in the warning colour, with their bytes.
  expect_contains(html, "<text class=\"label warn\" x=\"440\" y=\"80\">invalid record (direction unknown)</text>");
  expect_contains(html, "<tr class=\"warn\"><td class=\"num\">#1</td><td class=\"num\"></td><td>unknown</td>"
                        "<td>invalid</td><td colspan=\"5\" class=\"bytes\">record kind 5: f1 05 00 00 00 00 00 00</td>"
                        "<td></td><td></td></tr>\n");
  expect_contains(html, "<td colspan=\"5\" class=\"bytes\">ab cd ef</td>");
  // Invalid records never collapse, even when their bytes repeat.
  const std::vector<decoded_record> same = numbered({invalid({1}, "x"), invalid({1}, "x"), invalid({1}, "x")});
  EXPECT_EQ(trace_view(same, {}).size(), 3u);
}

TEST(TraceViewTest, LabelsAndWarnings) {
  decoded_record ur = tlp("Cpl", up, {0x0A});
  ur.status = "UR";
  ur.tag = 3;
  decoded_record err = tlp("Msg", up, {0x30});
  err.message_code = 0x31;
  decoded_record intb = tlp("Msg", up, {0x30});
  intb.message_code = 0x21;
  decoded_record vendor = tlp("Msg", up, {0x30});
  vendor.message_code = 0x42;
  decoded_record lcrc = tlp("CfgRd0", down, {0x04});
  lcrc.marks = zamtrace::mark_bad_lcrc | zamtrace::mark_duplicate;
  decoded_record substituted = dllp("UpdateFC-P", down, 0x60, 0);
  substituted.marks = zamtrace::mark_substituted;
  decoded_record crc = dllp("Ack", down, 0x00, 4);
  crc.marks = zamtrace::mark_bad_dllp_crc | zamtrace::mark_dllp_reserved_bits;
  decoded_record wrong_crc = dllp("Ack", up, 0x00, 9);
  wrong_crc.crc_good = false;
  decoded_record right_crc = wrong_crc;
  right_crc.crc_good = true;
  struct label_case {
    decoded_record record;
    const char* label;
    bool warning;
  } const cases[] = {
      {ur, "Cpl UR tag 3", false},
      {err, "Msg ERR_NONFATAL", true},
      {intb, "Msg Assert_INTB", false},
      {vendor, "Msg code 0x42", false},
      {lcrc, "CfgRd0 [bad LCRC, duplicate]", true},
      {substituted, "UpdateFC-P [substituted]", true},
      {crc, "Ack seq 4 [bad CRC, reserved bits]", true},
      {dllp("Nak", down, 0x10, 4095), "Nak seq 4095", true},
      {dllp("Ack", up, 0x00, 9), "Ack seq 9", false},
      {wrong_crc, "Ack seq 9 (CRC wrong)", true},
      {right_crc, "Ack seq 9", false},
  };
  for (const label_case& c : cases) {
    EXPECT_EQ(record_label(c.record), c.label);
    EXPECT_EQ(is_warning(c.record), c.warning) << c.label;
  }
}

}  // namespace
}  // namespace zamsuite
