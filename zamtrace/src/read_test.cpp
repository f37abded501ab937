// Trace dumps out of XML logs: the framework's word format read back to the exact bytes.
#include "zamtrace/read.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace zamtrace {
namespace {

using bytes = std::vector<uint8_t>;

// The dump as the framework's XML log writes it: action count, byte count, then one
// "0x%08x" word per four bytes (little-endian), the last padded with zeros.
std::string framework_dump(const bytes& trace, int action_count = 0) {
  char line[64];
  std::string text = "\n<INFO> ";
  std::snprintf(line, sizeof line, "<ActionCount> %d\n", action_count);
  text += line;
  text += "</ActionCount>\n</INFO>\n <INFO> <TBContents>\n";
  std::snprintf(line, sizeof line, "<NumBytes> %d </NumBytes> \n", static_cast<int>(trace.size()));
  text += line;
  text += "<TBData>\n";
  for (std::size_t at = 0; at < trace.size(); at += 4) {
    uint8_t w[4] = {0, 0, 0, 0};
    for (std::size_t b = 0; b < 4 && at + b < trace.size(); ++b) w[b] = trace[at + b];
    std::snprintf(line, sizeof line, "0x%08x\n", w[0] | w[1] << 8 | w[2] << 16 | unsigned(w[3]) << 24);
    text += line;
  }
  return text + "</TBData>\n</TBContents></INFO>\n";
}

TEST(TraceReadTest, FrameworkDumpsReadBackToTheirBytes) {
  const bytes lengths[] = {{}, {0xF1}, {0xF1, 0x03, 0x02, 0x00, 0x11}, {0xF1, 0x18, 3, 0, 0xDC, 0x05, 0, 0x80}};
  for (const bytes& trace : lengths) {
    SCOPED_TRACE(trace.size());
    const std::string log = "<?xml version=\"1.0\"?>\n<ASSERTTAG assertion = \"x\" status = \"SUCCESS\">\n</ASSERTTAG>\n" +
                            framework_dump(trace, 3) + "<SUCCESS>\ndone\n</SUCCESS>\n";
    ASSERT_TRUE(looks_like_xml_log(log));
    const auto dumps = read_xml_log(log);
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0].bytes, trace);
    EXPECT_EQ(dumps[0].declared_bytes, trace.size());
    EXPECT_EQ(dumps[0].words, (trace.size() + 3) / 4);
    EXPECT_EQ(dumps[0].problem, "");
    // Writing the words back gives the framework's lines.
    const std::string dump = framework_dump(trace);
    const std::size_t from = dump.find("<TBData>\n") + 9;
    EXPECT_EQ(trace_words(trace), dump.substr(from, dump.find("</TBData>") - from));
  }
  EXPECT_EQ(trace_words({0x01, 0x02, 0x03, 0x04, 0xF1}), "0x04030201\n0x000000f1\n");
}

TEST(TraceReadTest, EveryDumpOfALogInOrder) {
  const std::string log = framework_dump({0xF1, 1, 2, 3}) + "<INFO> text </INFO>\n" + framework_dump({0xF1, 9});
  const auto dumps = read_xml_log(log);
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(dumps[0].bytes, (bytes{0xF1, 1, 2, 3}));
  EXPECT_EQ(dumps[1].bytes, (bytes{0xF1, 9}));
}

TEST(TraceReadTest, DamagedDumpsGiveWhatTheyHoldAndSaySo) {
  struct damaged_case {
    const char* what;
    std::string log;
    bytes expected;
    const char* problem;
  };
  const damaged_case cases[] = {
      {"cut after two words", "<INFO> <TBContents>\n<NumBytes> 12 </NumBytes> \n<TBData>\n0x030201f1\n0x07060504\n",
       {0xF1, 1, 2, 3, 4, 5, 6, 7}, "trace dump cut short"},
      {"fewer words than bytes", "<TBContents><NumBytes> 12 </NumBytes><TBData>\n0x030201f1\n</TBData></TBContents>",
       {0xF1, 1, 2, 3}, "1 words hold fewer than the dump's 12 bytes"},
      {"a token that is no word", "<TBContents><NumBytes> 8 </NumBytes><TBData>\n0x030201f1 junk 0xZZ 0x123456789 0x7\n"
       "</TBData></TBContents>", {0xF1, 1, 2, 3, 7, 0, 0, 0}, "not a trace word: \"junk\""},
      {"no byte count", "<TBContents><TBData> 0x030201f1 </TBData></TBContents>", {0xF1, 1, 2, 3},
       "trace dump without <NumBytes>"},
      {"no data", "<TBContents><NumBytes> 4 </NumBytes></TBContents>", {}, "trace dump without <TBData>"},
      {"upper-case digits", "<TBContents><NumBytes> 4 </NumBytes><TBData>0X030201F1</TBData></TBContents>",
       {0xF1, 1, 2, 3}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto dumps = read_xml_log(c.log);
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0].bytes, c.expected);
    EXPECT_EQ(dumps[0].problem, c.problem);
  }
}

TEST(TraceReadTest, XmlLogsAreToldFromRawTraces) {
  EXPECT_TRUE(looks_like_xml_log("  \n<?xml version=\"1.0\"?>"));
  EXPECT_TRUE(looks_like_xml_log("garbage <TBData>"));
  EXPECT_FALSE(looks_like_xml_log(std::string("\xF1\x03\x02\x00", 4)));
  EXPECT_FALSE(looks_like_xml_log(""));
  EXPECT_FALSE(looks_like_xml_log("hello"));
  EXPECT_TRUE(read_xml_log("<ASSERTTAG>no dump</ASSERTTAG>").empty());
}

}  // namespace
}  // namespace zamtrace
