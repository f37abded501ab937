// Trace buffer reading and searching over hand-built traces, exact to the byte.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "device/device_record.h"
#include "fake_tables.h"
#include "temp_folder.h"
#include "trace/tlp_index.h"
#include "trace/trace_copy.h"
#include "trace_builder.h"
#include "vexo.h"

namespace {

using vexo_test::trace_builder;
using bytes = std::vector<uint8_t>;

// TLP header word 0 of common TLPs: Fmt/Type, byte 1, Length in bytes 2-3.
const bytes cpl = {0x0A, 0x00, 0x00, 0x00};    // Cpl, no data
const bytes cpld = {0x4A, 0x00, 0x00, 0x01};   // CplD, 1 dword
const bytes mwr = {0x40, 0x00, 0x00, 0x01};    // MWr32, 1 dword
const bytes msg_cor = {0x30, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x30};  // ERR_COR message

bytes with(bytes header, size_t total, uint8_t fill = 0) {
  header.resize(total, fill);
  return header;
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    uint8_t config[vexo::config_copy_size] = {};
    ASSERT_EQ(vexo::make_device_record(4, 0, 0, config, &card), VEXO_STATUS_SUCCESS);
    ASSERT_EQ(vexo::make_device_record(6, 0, 0, config, &dut), VEXO_STATUS_SUCCESS);
  }
  void TearDown() override {
    for (VEXO_DEVICE_HANDLE_t h : {card, dut}) {
      vexo::discard_trace_copy(*vexo::record_from_handle(h));
      vexo::free_device_record(h);
    }
  }
  // Reads the trace through the card table: the copy is allocated exactly this size.
  void load(const bytes& trace) {
    fake.trace = trace;
    ASSERT_EQ(ZAMGetTraceBuffer(card), VEXO_STATUS_SUCCESS);
  }
  unsigned int tlp_count(const bytes& pattern, unsigned int flags) {
    unsigned int count = 12345;
    EXPECT_EQ(GetNumTLPMatches(card, pattern.data(), flags, &count), VEXO_STATUS_SUCCESS);
    return count;
  }
  unsigned int dllp_count(uint8_t type) {
    unsigned int count = 0;
    EXPECT_EQ(GetNumDLLPMatches(card, &type, 0, &count), VEXO_STATUS_SUCCESS);
    return count;
  }
  // Every TLP by index, until the lookup says there are no more.
  std::vector<bytes> all_tlps() {
    std::vector<bytes> found;
    bytes header(16);
    while (VEXO_ZAM_TB_GetTLPByIndex(card, header.data(), 0, static_cast<int>(found.size())) ==
           VEXO_STATUS_SUCCESS) {
      found.push_back(header);
    }
    return found;
  }

  vexo_test::fake_card fake;
  VEXO_DEVICE_HANDLE_t card = nullptr;
  VEXO_DEVICE_HANDLE_t dut = nullptr;
};

TEST_F(TraceTest, GetTraceBufferAsksForTheCountThenReadsThatMany) {
  const bytes trace = trace_builder().tlp(cpld).dllp(0x00).bytes;
  load(trace);
  ASSERT_EQ(fake.requests.size(), 2u);
  EXPECT_EQ(fake.requests[0].slot, "GetTraceByteCount");
  EXPECT_EQ(fake.requests[1].slot, "ReadTrace");
  EXPECT_EQ(fake.requests[1].argument, trace.size());
  unsigned int count = 0;
  EXPECT_EQ(GetBytesInZAMTB(card, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, trace.size());

  bytes out(64, 0xCC);
  unsigned int length = 64;
  EXPECT_EQ(GetTBContents(card, out.data(), &length), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(length, trace.size());
  EXPECT_EQ(bytes(out.begin(), out.begin() + length), trace);
  EXPECT_EQ(out[length], 0xCC);
  length = 3;
  EXPECT_EQ(GetTBContents(card, out.data(), &length), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(length, 3u);
}

TEST_F(TraceTest, GetTraceBufferKeepsTheCopyConsistentWhenTheCardFails) {
  load(trace_builder().tlp(cpld).bytes);
  // The count request fails: the old copy and its count stay together.
  fake.slot_result["GetTraceByteCount"] = VEXO_STATUS_INSUFFICIENT_RESOURCES;
  EXPECT_EQ(ZAMGetTraceBuffer(card), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(tlp_count(cpld, 0), 1u);

  // The read fails: no data, nothing stale.
  fake.slot_result.clear();
  fake.slot_result["ReadTrace"] = VEXO_STATUS_INSUFFICIENT_RESOURCES;
  EXPECT_EQ(ZAMGetTraceBuffer(card), VEXO_STATUS_INSUFFICIENT_RESOURCES);
  unsigned int count = 1;
  EXPECT_EQ(GetBytesInZAMTB(card, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, 0u);

  // A card that claims more than the copy holds is held to the copy.
  fake.slot_result.clear();
  fake.trace = trace_builder().tlp(cpld).bytes;
  fake.delivered_count = 4096;
  EXPECT_EQ(ZAMGetTraceBuffer(card), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(GetBytesInZAMTB(card, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, fake.trace.size());
  // One that delivers less than it announced: the record counts what came.
  fake.delivered_count = 8;
  EXPECT_EQ(ZAMGetTraceBuffer(card), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(GetBytesInZAMTB(card, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, 8u);
  EXPECT_EQ(tlp_count(cpld, 0), 0u);  // the header alone names a TLP that is not there
}

TEST_F(TraceTest, AnEmptyTraceHasNothingToFind) {
  load({});
  const uint8_t type = 0x00;
  unsigned int capacity = 4;
  uint8_t out[24];
  bytes header(16);
  EXPECT_EQ(tlp_count(cpld, 0), 0u);
  EXPECT_EQ(dllp_count(0x00), 0u);
  EXPECT_EQ(FindDLLPTypeDLLPType(card, &type, 0, out, &capacity), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(capacity, 0u);
  EXPECT_EQ(VEXO_ZAM_TB_GetTLPByIndex(card, header.data(), 0, 0), VEXO_STATUS_INVALID_PARAMETER);
}

TEST_F(TraceTest, TLPMatchFlagsFollowTheLastEnabledFieldUnlessAllMustMatch) {
  load(trace_builder().tlp(with(cpl, 12)).tlp(with(cpld, 16), 1).tlp(with(mwr, 16), 2).dllp(0).bytes);
  EXPECT_EQ(tlp_count(cpld, 0), 3u);              // flags 0: every TLP
  EXPECT_EQ(tlp_count(cpld, 0x3), 2u);            // Cpl's Type matches last: Cpl and CplD
  EXPECT_EQ(tlp_count(cpld, 0x80000003), 1u);     // Fmt must match too: CplD only
  EXPECT_EQ(tlp_count(cpld, 0x1), 2u);            // Fmt alone: CplD and MWr
  EXPECT_EQ(tlp_count(cpld, 0x9), 2u);            // Length decides: CplD and MWr
  EXPECT_EQ(tlp_count(cpl, 0x80000000), 3u);      // no field enabled: a match
  EXPECT_EQ(tlp_count({0x4A, 0, 0x03, 0x01}, 0x8), 0u);  // Length[9:8] counts

  uint8_t out[16] = {};
  unsigned int count = 0;
  EXPECT_EQ(FindTLPByTLPType(card, cpld.data(), 0x3, out, &count), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(bytes(out, out + 8), (bytes{0x0A, 0, 0, 0, 0x4A, 0, 0, 0x01}));
}

TEST_F(TraceTest, TLPSearchArgumentsAreCheckedBeforeTheCard) {
  load(trace_builder().tlp(cpld).bytes);
  unsigned int count = 7;
  EXPECT_EQ(GetNumTLPMatches(card, nullptr, 0, &count), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(GetNumTLPMatches(dut, cpld.data(), 0, nullptr), VEXO_STATUS_INVALID_PARAMETER);
  testing::internal::CaptureStdout();
  EXPECT_EQ(GetNumTLPMatches(dut, cpld.data(), 0, &count), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Device is not a ZAM\n");
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(GetNumTLPMatchesEx(card, cpld.data(), 0, &count), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(FindTLPByTLPTypeEx(card, cpld.data(), 0, nullptr, &count), VEXO_STATUS_SUCCESS);
  count = 5;
  EXPECT_EQ(VEXO_ZAM_TB_GetTotalTLP(card, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, 5u);
}

TEST_F(TraceTest, DLLPTypesIgnoreTheVirtualChannelOfFlowControlOnly) {
  load(trace_builder()
           .dllp(0x40)   // InitFC1-P VC0
           .dllp(0x47)   // InitFC1-P VC7
           .dllp(0x20)   // PM_Enter_L1
           .tlp(cpld)
           .dllp(0xA2)   // UpdateFC-Cpl VC2
           .other(5)
           .dllp(0x00)   // Ack
           .bytes);
  EXPECT_EQ(dllp_count(0x41), 2u);  // InitFC1-P for VC1 matches every VC
  EXPECT_EQ(dllp_count(0x21), 0u);  // PM_Enter_L23 is not PM_Enter_L1
  EXPECT_EQ(dllp_count(0x20), 1u);
  EXPECT_EQ(dllp_count(0xA0), 1u);
  EXPECT_EQ(dllp_count(0x00), 1u);

  unsigned int count = 0;
  const uint8_t initfc = 0x40;
  EXPECT_EQ(GetNumDLLPMatches(card, &initfc, 0, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(GetNumDLLPMatches(card, &initfc, 0, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, 4u);  // the counter is added to, not cleared
}

TEST_F(TraceTest, FindDLLPStopsCopyingAtTheCapacity) {
  load(trace_builder().dllp(0x00, 1).dllp(0x10).dllp(0x00, 2).dllp(0x00, 3).bytes);
  uint8_t out[12];
  std::memset(out, 0xCC, sizeof out);
  unsigned int count = 1;
  const uint8_t ack = 0x00;
  EXPECT_EQ(FindDLLPTypeDLLPType(card, &ack, 0, out, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(bytes(out, out + 6), (bytes{0x00, 1, 0, 0, 0xC1, 0xC2}));
  EXPECT_EQ(out[6], 0xCC);
  count = 2;
  EXPECT_EQ(FindDLLPTypeDLLPType(card, &ack, 0, out, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(out[7], 2);
}

TEST_F(TraceTest, GetTLPByIndexCopiesSixteenBytesFromTheTLPsStart) {
  const bytes trace = trace_builder().dllp(0x00).tlp(with(cpld, 12, 0xAB)).tlp(with(mwr, 8)).bytes;
  load(trace);
  bytes header(16, 0xCC);
  ASSERT_EQ(VEXO_ZAM_TB_GetTLPByIndex(card, header.data(), 0, 0), VEXO_STATUS_SUCCESS);
  // 12 bytes of the TLP, then the next record's first four bytes, as they are in the copy.
  EXPECT_EQ(header, bytes(trace.begin() + 24, trace.begin() + 40));
  // The last TLP ends the copy: what lies past the end reads as zero.
  ASSERT_EQ(VEXO_ZAM_TB_GetTLPByIndex(card, header.data(), 0, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(header, with(with(mwr, 8), 16));
  EXPECT_EQ(VEXO_ZAM_TB_GetTLPByIndex(card, header.data(), 0, 2), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(VEXO_ZAM_TB_GetTLPByIndex(card, header.data(), 0, -1), VEXO_STATUS_INVALID_PARAMETER);
}

TEST_F(TraceTest, TheIndexFollowsTheCopyWhenItIsReplaced) {
  load(trace_builder().tlp(cpld).tlp(mwr).tlp(cpl).bytes);
  ASSERT_EQ(all_tlps().size(), 3u);
  load(trace_builder().tlp(mwr).bytes);
  const std::vector<bytes> now = all_tlps();
  ASSERT_EQ(now.size(), 1u);
  EXPECT_EQ(now[0][0], 0x40);
  ASSERT_EQ(ArmZAM(card, 0), VEXO_STATUS_SUCCESS);
  EXPECT_TRUE(all_tlps().empty());
}

TEST_F(TraceTest, TheWalkEndsAtABadMarkerOrARecordThatRunsPastTheEnd) {
  // A TLP claiming 100 dwords with 8 bytes of payload left: cut short, not data.
  load(trace_builder().tlp(cpld).dllp(0x00).tlp(with(mwr, 8), 0, 100).bytes);
  EXPECT_EQ(tlp_count(cpld, 0), 1u);
  EXPECT_EQ(dllp_count(0x00), 1u);
  EXPECT_EQ(all_tlps().size(), 1u);

  // A DLLP record without its full payload.
  load(trace_builder().tlp(cpld).raw({0xF1, 0x03, 0, 0, 0, 0, 0, 0, 0x00, 0x00}).bytes);
  EXPECT_EQ(dllp_count(0x00), 0u);
  EXPECT_EQ(tlp_count(cpld, 0), 1u);

  // A marker that is not 0xF1 ends the data, whatever follows.
  load(trace_builder().tlp(cpld).raw({0xF0, 0, 0, 0, 0, 0, 0, 0}).tlp(cpld).bytes);
  EXPECT_EQ(tlp_count(cpld, 0), 1u);

  // A header cut short, and records of kinds 4-7 that carry no payload.
  load(trace_builder().other(7).tlp(cpld).other(4).raw({0xF1, 0x00, 0x01}).bytes);
  EXPECT_EQ(tlp_count(cpld, 0), 1u);

  // A zero-length TLP at the very end: its header word reads as zeros.
  load(trace_builder().tlp({}, 0, 0).bytes);
  EXPECT_EQ(tlp_count({0x00, 0, 0, 0}, 0x80000003), 1u);
  EXPECT_EQ(all_tlps(), (std::vector<bytes>{bytes(16, 0)}));
}

TEST_F(TraceTest, RandomBytesNeverLeadOutsideTheCopy) {
  // Random traces with a bias towards markers, so that walks go some way; run under the
  // address sanitizer, a read past a copy fails the test.
  std::mt19937 random(20240611);
  for (int round = 0; round < 300; ++round) {
    bytes trace(random() % 300);
    for (auto& b : trace) b = static_cast<uint8_t>(random() % 4 == 0 ? 0xF1 : random() % 6);
    load(trace);
    const std::vector<bytes> indexed = all_tlps();
    const vexo::trace::trace_view view{trace.data(), static_cast<uint32_t>(trace.size())};
    for (uint32_t i = 0; i <= indexed.size(); ++i) {
      uint32_t payload = 0;
      ASSERT_EQ(vexo::trace::find_tlp_by_walk(view, i, payload), i < indexed.size());
    }
    EXPECT_EQ(tlp_count(cpld, 0), indexed.size());
    uint8_t out[6 * 64];
    unsigned int capacity = 64;
    const uint8_t ack = 0;
    EXPECT_EQ(FindDLLPTypeDLLPType(card, &ack, 0, out, &capacity), VEXO_STATUS_SUCCESS);
    uint8_t words[4 * 128];
    unsigned int found = 0;
    EXPECT_EQ(FindTLPByTLPType(card, cpld.data(), 0x80000003, words, &found), VEXO_STATUS_SUCCESS);
  }
}

class TraceLogTest : public TraceTest {
 protected:
  std::string dump(unsigned int* length) {
    VEXO_LOG_HANDLE_t log = nullptr;
    EXPECT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_XML, folder.file("t.xml").c_str(), 0),
              VEXO_STATUS_SUCCESS);
    const std::string before = vexo_test::read_file(folder.file("t.xml"));
    EXPECT_EQ(LogTBContents(log, card, length), VEXO_STATUS_SUCCESS);
    const std::string after = vexo_test::read_file(folder.file("t.xml"));
    CloseLog(log);
    return after.substr(before.size());
  }
  vexo_test::temp_folder folder;
};

TEST_F(TraceLogTest, LengthSixDumpsTwoWholeWordsOfTheCopy) {
  load({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A});
  fake.action_count = 17;
  unsigned int length = 6;
  EXPECT_EQ(dump(&length),
            "\n<INFO> <ActionCount> 17\n</ActionCount>\n</INFO>\n <INFO> <TBContents>\n"
            "<NumBytes> 6 </NumBytes> \n<TBData>\n0x04030201\n0x08070605\n</TBData>\n"
            "</TBContents></INFO>\n");
  EXPECT_EQ(length, 6u);

  // Larger than the copy: cut to it and told back; the short last word stops at the copy.
  length = 1000;
  fake.slot_result["GetActionCount"] = VEXO_STATUS_INSUFFICIENT_RESOURCES;
  EXPECT_EQ(dump(&length),
            "\n<INFO> <ActionCount> 0\n</ActionCount>\n</INFO>\n <INFO> <TBContents>\n"
            "<NumBytes> 10 </NumBytes> \n<TBData>\n0x04030201\n0x08070605\n0x00000a09\n"
            "</TBData>\n</TBContents></INFO>\n");
  EXPECT_EQ(length, 10u);
  EXPECT_NE(dump(nullptr).find("<NumBytes> 10 </NumBytes>"), std::string::npos);
}

TEST_F(TraceLogTest, OnlyAnXmlLogAndACardRecordAreAccepted) {
  load({1, 2, 3, 4});
  VEXO_LOG_HANDLE_t console = nullptr;
  ASSERT_EQ(CreateLog(nullptr, &console, VEXO_LOG_TYPE_CONSOLE, nullptr, 0), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(LogTBContents(console, card, nullptr), VEXO_STATUS_INVALID_PARAMETER);
  CloseLog(console);
  EXPECT_EQ(LogTBContents(nullptr, card, nullptr), VEXO_STATUS_INVALID_PARAMETER);

  VEXO_LOG_HANDLE_t log = nullptr;
  ASSERT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_XML, folder.file("x.xml").c_str(), 0),
            VEXO_STATUS_SUCCESS);
  const std::string before = vexo_test::read_file(folder.file("x.xml"));
  EXPECT_EQ(LogTBContents(log, dut, nullptr), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(vexo_test::read_file(folder.file("x.xml")), before);
  CloseLog(log);
}

}  // namespace
