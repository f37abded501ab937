// The JUnit and HTML reports parsed back: structure, counts, failures with their texts, escaping.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/fs.h"
#include "platform/process.h"
#include "report.h"
#include "xml_tree.h"

namespace zamsuite {
namespace {

using zamsuite_test::element;
using zamsuite_test::parse_xml;

// Log text with everything a report must carry through: markup, quotes, tabs, control bytes.
const std::string nasty = "got <1> & \"2\" 'x'\tTAB\x01\x1b[0m ]]> end\n";

suite_report sample_report() {
  suite_report r;
  r.name = "zamsuite";
  r.timestamp = "2026-12-09T14:00:00";
  r.subject = "DAT file /d/a&b.dat";
  case_result pass;
  pass.name = "ReXmitOnNak_EP_USW";
  pass.outcome = verdict::passed;
  pass.exit_status = "0";
  pass.seconds = 1.25;
  pass.entries = {{"SUCCESS", "", "Opened the DUT\n"}, {"SUCCESS", "DLL.5.2#1.0", "replayed\n"}};
  pass.trace_action_count = 2;
  for (uint32_t w = 0; w < 70; ++w) pass.trace_words.push_back(0xa0000000u + w);
  case_result fail;
  fail.name = "BadLCRC_EP_USW";
  fail.outcome = verdict::failed;
  fail.exit_status = "6";
  fail.reason = "a verdict failed (exit 6)";
  fail.seconds = 2;
  fail.entries = {{"INFORMATIONAL", "DLL.5.3#2.0", "Assertion(s) being tested here\n"},
                  {"FAILED", "DLL.5.3#2.0", nasty},
                  {"FAIL", "", "free text failure\n"},
                  {"FAILED", "DLL.5.3#2.0", "second\n"}};
  case_result crash;
  crash.name = "ReplayNumTest_EP_USW";
  crash.outcome = verdict::error;
  crash.exit_status = "signal 11";
  crash.reason = "crashed (signal 11)";
  crash.output = "Segmentation <fault>\n";
  case_result skipped;
  skipped.name = "fw case";
  skipped.outcome = verdict::not_run;
  skipped.reason = "the case could not be run";
  r.cases = {pass, fail, crash, skipped};
  return r;
}

TEST(ReportTest, JunitHasOneSuiteOneCasePerProgramAndAFailurePerFailedAssertion) {
  std::string error;
  const auto doc = parse_xml(junit_xml(sample_report()), &error);
  ASSERT_TRUE(doc) << error;
  EXPECT_EQ(doc->name, "testsuites");
  ASSERT_EQ(doc->all("testsuite").size(), 1u);
  const element& suite = *doc->first("testsuite");
  EXPECT_EQ(suite.attr("name"), "zamsuite");
  EXPECT_EQ(suite.attr("tests"), "4");
  EXPECT_EQ(suite.attr("failures"), "1");
  EXPECT_EQ(suite.attr("errors"), "1");
  EXPECT_EQ(suite.attr("skipped"), "1");
  EXPECT_EQ(suite.attr("time"), "3.250");
  EXPECT_EQ(suite.attr("timestamp"), "2026-12-09T14:00:00");
  EXPECT_EQ(suite.first("properties")->first("property")->attr("value"), "DAT file /d/a&b.dat");
  // Only properties and test cases below the suite, in that order.
  ASSERT_EQ(suite.children.size(), 5u);
  EXPECT_EQ(suite.children[0]->name, "properties");
  const auto cases = suite.all("testcase");
  ASSERT_EQ(cases.size(), 4u);
  EXPECT_EQ(cases[0]->attr("name"), "ReXmitOnNak_EP_USW");
  EXPECT_EQ(cases[0]->attr("classname"), "zamsuite");
  EXPECT_EQ(cases[0]->attr("time"), "1.250");
  EXPECT_TRUE(cases[0]->all("failure").empty());
  EXPECT_TRUE(cases[0]->all("error").empty());
  EXPECT_NE(cases[0]->first("system-out")->text.find("[SUCCESS] DLL.5.2#1.0\nreplayed\n"), std::string::npos);

  const auto failures = cases[1]->all("failure");
  ASSERT_EQ(failures.size(), 2u);  // the two FAILED assertions, not the free text
  EXPECT_EQ(failures[0]->attr("type"), "FAILED");
  EXPECT_EQ(failures[0]->attr("message"), "DLL.5.3#2.0: got <1> & \"2\" 'x'\tTAB\\x01\\x1B[0m ]]> end");
  EXPECT_EQ(failures[0]->text, "got <1> & \"2\" 'x'\tTAB\\x01\\x1B[0m ]]> end\n");
  EXPECT_EQ(failures[1]->text, "second\n");
  EXPECT_TRUE(cases[1]->all("error").empty());

  ASSERT_EQ(cases[2]->all("error").size(), 1u);
  EXPECT_EQ(cases[2]->first("error")->attr("message"), "crashed (signal 11)");
  EXPECT_EQ(cases[2]->first("error")->attr("type"), "signal 11");
  EXPECT_EQ(cases[2]->first("system-err")->text, "Segmentation <fault>\n");
  ASSERT_EQ(cases[3]->all("skipped").size(), 1u);
  EXPECT_EQ(cases[3]->first("skipped")->attr("message"), "the case could not be run");
}

TEST(ReportTest, JunitFailedCaseWithoutFailedAssertionStillCarriesAFailure) {
  suite_report r = sample_report();
  r.cases.resize(2);
  r.cases[1].entries.clear();
  std::string error;
  const auto doc = parse_xml(junit_xml(r), &error);
  ASSERT_TRUE(doc) << error;
  const auto cases = doc->first("testsuite")->all("testcase");
  ASSERT_EQ(cases[1]->all("failure").size(), 1u);
  EXPECT_EQ(cases[1]->first("failure")->attr("message"), "a verdict failed (exit 6)");

  // Decided by checks that log their failure as a WARNING: those entries are the failures.
  r.cases[1].entries = {{"INFORMATIONAL", "TXN.5.3#2.0", "Assertion(s) being tested here\n"},
                        {"WARNING", "TXN.5.3#2.0", "FAIL - timeout at 10 ms\nexpected none\n"},
                        {"WARNING", "TXN.5.3#2.0", "FAIL - DisarmZAM()\n"},
                        {"WARNING", {}, "a free text\n"}};
  const auto warned = parse_xml(junit_xml(r), &error);
  ASSERT_TRUE(warned) << error;
  const auto failures = warned->first("testsuite")->all("testcase")[1]->all("failure");
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0]->attr("message"), "TXN.5.3#2.0: FAIL - timeout at 10 ms");
  EXPECT_EQ(failures[0]->attr("type"), "WARNING");
  EXPECT_EQ(failures[0]->all_text(), "FAIL - timeout at 10 ms\nexpected none\n");
  EXPECT_EQ(failures[1]->attr("message"), "TXN.5.3#2.0: FAIL - DisarmZAM()");
}

TEST(ReportTest, HtmlSummaryTableSectionsEntriesAndTraceExcerpt) {
  std::string error;
  const auto doc = parse_xml(html_page(sample_report()), &error);
  ASSERT_TRUE(doc) << error;  // well-formed even with the nasty text
  EXPECT_EQ(doc->name, "html");
  const element* body = doc->first("body");
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body->first("p")->all_text(), "DAT file /d/a&b.datStarted 2026-12-09T14:00:00");
  const auto tables = body->find_all("table");
  ASSERT_GE(tables.size(), 1u);
  const element& summary = *tables[0];
  EXPECT_EQ(summary.attr("id"), "summary");
  const auto rows = summary.first("tbody")->all("tr");
  ASSERT_EQ(rows.size(), 4u);
  const char* expected[][4] = {{"ReXmitOnNak_EP_USW", "passed", "1.2 s", "0"},
                               {"BadLCRC_EP_USW", "failed", "2.0 s", "6"},
                               {"ReplayNumTest_EP_USW", "error", "0.0 s", "signal 11"},
                               {"fw case", "not run", "0.0 s", ""}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto cells = rows[i]->all("td");
    ASSERT_EQ(cells.size(), 5u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(cells[k]->all_text(), expected[i][k]) << i << " " << k;
    EXPECT_EQ(cells[0]->first("a")->attr("href"), "#case-" + std::to_string(i + 1));
  }
  EXPECT_EQ(rows[0]->attr("class"), "passed");
  EXPECT_EQ(rows[3]->attr("class"), "not-run");

  const auto sections = body->all("section");
  ASSERT_EQ(sections.size(), 4u);
  EXPECT_EQ(sections[1]->attr("id"), "case-2");
  const auto entry_rows = sections[1]->first("table")->first("tbody")->all("tr");
  ASSERT_EQ(entry_rows.size(), 4u);
  const auto cells = entry_rows[1]->all("td");
  EXPECT_EQ(cells[1]->all_text(), "FAILED");
  EXPECT_EQ(cells[2]->all_text(), "DLL.5.3#2.0");
  EXPECT_EQ(cells[3]->all_text(), "got <1> & \"2\" 'x'\tTAB\\x01\\x1B[0m ]]> end\n");
  // The trace excerpt shows the first 64 of 70 words.
  const auto traces = sections[0]->find_all("pre");
  std::string trace;
  for (const element* pre : traces) {
    if (pre->attr("class") == "trace") trace = pre->all_text();
  }
  EXPECT_EQ(trace.substr(0, 22), "0xa0000000\n0xa0000001\n");
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 64);
  EXPECT_NE(sections[0]->all_text().find("Action count 2; 70 words logged, the first 64 shown."), std::string::npos);
  EXPECT_NE(sections[2]->all_text().find("Segmentation <fault>"), std::string::npos);
}

// The decoder the page is given: keeps the bytes it was handed, answers with a completion
// and an invalid record.
std::vector<std::vector<uint8_t>> decoded_calls;
std::vector<zamtrace::decoded_record> stand_in_decode(const std::vector<uint8_t>& bytes) {
  decoded_calls.push_back(bytes);
  zamtrace::decoded_record completion;
  completion.kind = zamtrace::record_kind::tlp;
  completion.type = "CplD";
  completion.direction = zamtrace::link_direction::upstream;
  completion.bytes = {0x4A, 0, 0, 1};
  zamtrace::decoded_record odd;
  odd.index = 1;
  odd.bytes = {bytes.begin(), bytes.begin() + 3};
  return {completion, odd};
}

TEST(ReportTest, HtmlWithADecoderShowsEachProgramsTraceDecodedAndMarked) {
  suite_report r = sample_report();
  r.cases[0].trace_words = {0x04030201, 0xF1000000};
  r.cases[1].trace_words = {0x00000AF1};
  decoded_calls.clear();
  const std::string page = html_page(r, stand_in_decode);
  std::string error;
  const auto doc = parse_xml(page, &error);
  ASSERT_TRUE(doc) << error;
  // The words go to the decoder as the bytes they hold, little-endian.
  ASSERT_EQ(decoded_calls.size(), 2u);
  EXPECT_EQ(decoded_calls[0], (std::vector<uint8_t>{0x01, 0x02, 0x03, 0x04, 0, 0, 0, 0xF1}));
  EXPECT_EQ(decoded_calls[1], (std::vector<uint8_t>{0xF1, 0x0A, 0, 0}));
  const auto sections = doc->first("body")->all("section");
  ASSERT_EQ(sections.size(), 4u);
  const std::string first = sections[0]->all_text();
  EXPECT_NE(first.find("Action count 2; 2 words logged."), std::string::npos) << first;
  EXPECT_NE(first.find("Counted by the program's searches: CplD (Fmt, Type) 1."), std::string::npos);
  EXPECT_EQ(first.find("shown"), std::string::npos);  // no raw excerpt beside the decoded records
  for (const element* pre : sections[0]->find_all("pre")) EXPECT_NE(pre->attr("class"), "trace");
  ASSERT_EQ(sections[0]->find_all("svg").size(), 1u);
  const auto tables = sections[0]->find_all("table");
  ASSERT_EQ(tables.size(), 2u);  // the entries, the decoded records
  const auto rows = tables[1]->first("tbody")->all("tr");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]->attr("class"), "counted");
  EXPECT_EQ(rows[1]->all("td")[4]->all_text(), "01 02 03");
  // The second program has its own searches: its completion counted by them too.
  EXPECT_NE(sections[1]->all_text().find("CplD (Fmt, Type) 1, Nak (first) 0, ERR_COR 0."), std::string::npos);
  // A program without a trace shows no trace part.
  EXPECT_TRUE(sections[2]->find_all("svg").empty());
  EXPECT_EQ(sections[2]->all_text().find("Trace buffer"), std::string::npos);
}

TEST(ReportTest, HtmlDecodesEachTraceDumpOfAProgramApart) {
  suite_report r = sample_report();
  r.cases.resize(1);
  r.cases[0].trace_words = {0x000000F1, 0x00000000, 0x00000BF1, 0x00000CF1, 0x00000DF1};
  r.cases[0].trace_dump_starts = {0, 2, 2};  // three dumps, the second empty
  decoded_calls.clear();
  std::string error;
  const auto doc = parse_xml(html_page(r, stand_in_decode), &error);
  ASSERT_TRUE(doc) << error;
  // Each dump decoded by itself; the empty one has no records to decode.
  ASSERT_EQ(decoded_calls.size(), 2u);
  EXPECT_EQ(decoded_calls[0], (std::vector<uint8_t>{0xF1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(decoded_calls[1], (std::vector<uint8_t>{0xF1, 0x0B, 0, 0, 0xF1, 0x0C, 0, 0, 0xF1, 0x0D, 0, 0}));
  const element& section = *doc->first("body")->first("section");
  const std::string text = section.all_text();
  EXPECT_NE(text.find("Action count 2; 5 words logged.Trace dump 1 of 3: 2 words."), std::string::npos) << text;
  EXPECT_NE(text.find("Trace dump 2 of 3: 0 words.No records in the trace."), std::string::npos);
  EXPECT_NE(text.find("Trace dump 3 of 3: 3 words."), std::string::npos);
  EXPECT_EQ(section.find_all("svg").size(), 2u);
  // Without a boundary the words are one dump, with no dump line.
  r.cases[0].trace_dump_starts.clear();
  decoded_calls.clear();
  const std::string single = html_page(r, stand_in_decode);
  EXPECT_EQ(decoded_calls.size(), 1u);
  EXPECT_EQ(single.find("Trace dump"), std::string::npos);
}

TEST(ReportTest, CountsAndWritingAFile) {
  const report_counts counts = count_cases(sample_report());
  EXPECT_EQ(counts.passed, 1);
  EXPECT_EQ(counts.failed, 1);
  EXPECT_EQ(counts.errors, 1);
  EXPECT_EQ(counts.not_run, 1);
  // Each way a report is lost names the file and the reason.
  const std::string closed = platform::join_path(platform::temp_directory(), "zamsuite_report_test_r.html");
  struct lost_case {
    const char* rules;  // failures planned for this process
    std::string path;
    std::string reason;
  } const cases[] = {
#ifndef _WIN32  // the system's own texts
      {"", "/nowhere/folder/r.xml", "cannot write /nowhere/folder/r.xml: No such file or directory"},
      {"", "/dev/full", "cannot write /dev/full: No space left on device"},
#endif
      {"write:*r.html:nospace", closed, "cannot write " + closed + ": No space left on device"},
      {"close:*r.html:io", closed, "cannot write " + closed + ": Input/output error"},
  };
  for (const lost_case& c : cases) {
    platform::set_environment("ZAM_FILE_FAULTS", c.rules);
    std::string reason;
    EXPECT_FALSE(write_report(c.path, "x", &reason)) << c.path;
    EXPECT_EQ(reason, c.reason);
  }
  platform::unset_environment("ZAM_FILE_FAULTS");
  platform::delete_file(closed);
}

}  // namespace
}  // namespace zamsuite
