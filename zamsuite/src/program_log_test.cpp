// Reading compliance program logs: entries in order, markup in texts, the trace, cut-off logs.
#include "program_log.h"

#include <gtest/gtest.h>

namespace zamsuite {
namespace {

const std::string header =
    "<VEXOXMLLog user=\"test_user\" timestamp=\"14:5/9/12/2026\">\n<Platform>\n"
    "<CPU id=\"1\" speed=\"2000\" Type=\"Unknown\" numCPUs=\"2\">\n</CPU>\n</Platform>\n";

const std::string body =
    "<SUCCESS>\nOpened the DUT\n</SUCCESS>\n"
    "<VEXOTest user=\"test_user\" timestamp=\"14:5/9/12/2026\">\n"
    "<DUT DeviceId=\"0X20\" VendorId=\"0Xabcd\" Bus=\"2\" Device=\"0\" Function=\"0\">\n</DUT>\n"
    "\n<ASSERTTAG assertion = \"DLL.5.2#1.0\" status = \"INFORMATIONAL\">\nAssertion(s) being tested here\n"
    "</ASSERTTAG>\n\n"
    "<INFO>\na < b && \"c\" <FAIL>\n not a tag\t</INFO>\n"
    "\n<INFO> <ActionCount> 3\n</ActionCount>\n</INFO>\n <INFO> <TBContents>\n<NumBytes> 8 </NumBytes> \n"
    "<TBData>\n0x12345678\n0xdeadbeef\n</TBData>\n</TBContents></INFO>\n"
    "\n<ASSERTTAG assertion = \"DLL.5.2#1.0\" status = \"FAILED\">\nNAK count 0 <expected 1>\n</ASSERTTAG>\n\n";

TEST(ProgramLogTest, CompleteLogGivesEntriesInOrderTraceAndMarkupKeptAsText) {
  const program_log log = parse_program_log(header + body + "</VEXOTest>\n</VEXOXMLLog>\n");
  EXPECT_TRUE(log.found);
  EXPECT_TRUE(log.complete);
  EXPECT_TRUE(log.test_started);
  ASSERT_EQ(log.entries.size(), 4u);
  EXPECT_EQ(log.entries[0].level, "SUCCESS");
  EXPECT_EQ(log.entries[0].assertion, "");
  EXPECT_EQ(log.entries[0].text, "Opened the DUT\n");
  EXPECT_EQ(log.entries[1].level, "INFORMATIONAL");
  EXPECT_EQ(log.entries[1].assertion, "DLL.5.2#1.0");
  EXPECT_EQ(log.entries[1].text, "Assertion(s) being tested here\n");
  EXPECT_EQ(log.entries[2].level, "INFO");
  EXPECT_EQ(log.entries[2].text, "a < b && \"c\" <FAIL>\n not a tag\t");
  EXPECT_EQ(log.entries[3].level, "FAILED");
  EXPECT_EQ(log.entries[3].text, "NAK count 0 <expected 1>\n");
  EXPECT_EQ(log.action_count, 3);
  EXPECT_EQ(log.trace_words, (std::vector<uint32_t>{0x12345678u, 0xdeadbeefu}));
  EXPECT_EQ(log.trace_dump_starts, std::vector<std::size_t>{0});
}

TEST(ProgramLogTest, EachTraceDumpsWordsBeginWhereItsDataBegins) {
  const std::string dump =
      "\n<INFO> <ActionCount> 1\n</ActionCount>\n</INFO>\n <INFO> <TBContents>\n<NumBytes> 4 </NumBytes> \n"
      "<TBData>\n0x000000f1\n</TBData>\n</TBContents></INFO>\n";
  const std::string empty_dump =
      "\n<INFO> <TBContents>\n<NumBytes> 0 </NumBytes> \n<TBData>\n</TBData>\n</TBContents></INFO>\n";
  const program_log log = parse_program_log(header + body + dump + empty_dump + dump + "</VEXOTest>\n</VEXOXMLLog>\n");
  EXPECT_EQ(log.trace_words, (std::vector<uint32_t>{0x12345678u, 0xdeadbeefu, 0xf1u, 0xf1u}));
  EXPECT_EQ(log.trace_dump_starts, (std::vector<std::size_t>{0, 2, 3, 3}));
  EXPECT_EQ(log.action_count, 1);  // the last dump's
  const program_log none = parse_program_log(header + "</VEXOTest>\n</VEXOXMLLog>\n");
  EXPECT_TRUE(none.trace_dump_starts.empty());
}

TEST(ProgramLogTest, CutOffLogsKeepWhatWasWritten) {
  // Cut inside the last assertion's text: the entry is kept with the text so far.
  const std::string whole = header + body;
  const std::size_t cut = whole.find("<expected");
  program_log log = parse_program_log(whole.substr(0, cut));
  EXPECT_FALSE(log.complete);
  ASSERT_EQ(log.entries.size(), 4u);
  EXPECT_EQ(log.entries[3].text, "NAK count 0 ");

  // Cut inside a tag.
  log = parse_program_log(whole.substr(0, whole.find("status = \"FAILED")));
  EXPECT_FALSE(log.complete);
  ASSERT_EQ(log.entries.size(), 4u);
  EXPECT_EQ(log.entries[3].assertion, "DLL.5.2#1.0");

  // Ended test but no closing root tag.
  log = parse_program_log(header + body + "</VEXOTest>\n");
  EXPECT_FALSE(log.complete);
  EXPECT_EQ(log.entries.size(), 4u);

  // Empty file, and a file that is not there.
  log = parse_program_log("");
  EXPECT_TRUE(log.found);
  EXPECT_FALSE(log.complete);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_FALSE(read_program_log("/nowhere/log.xml").found);
}

TEST(ProgramLogTest, TwoDocumentsInOneFileAndUnknownTagsAreSkipped) {
  const program_log log =
      parse_program_log(header + "<Odd>\n<WARNING>\nw\n</WARNING>\n</VEXOXMLLog>\n" + header + "<ABORT>\nx\n</ABORT>\n"
                        "</VEXOXMLLog>\n");
  EXPECT_TRUE(log.complete);
  ASSERT_EQ(log.entries.size(), 2u);
  EXPECT_EQ(log.entries[0].level, "WARNING");
  EXPECT_EQ(log.entries[1].level, "ABORT");
  EXPECT_EQ(log.entries[1].text, "x\n");
  EXPECT_EQ(log.action_count, -1);
}

}  // namespace
}  // namespace zamsuite
