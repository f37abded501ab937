// Error-reporting assertions over a fake configuration space: messages, results, write-back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/device_record.h"
#include "fake_tables.h"
#include "temp_folder.h"
#include "vexo.h"

namespace {

using vexo_test::bdf;

constexpr bdf dut_address{6, 0, 0};
constexpr uint32_t aer_offset = 0x100;

class AdvErrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    space.add(dut_address);
    uint8_t config[vexo::config_copy_size] = {};
    ASSERT_EQ(vexo::make_device_record(6, 0, 0, config, &dut), VEXO_STATUS_SUCCESS);
    ASSERT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_RAW_TEXT, folder.file("l.txt").c_str(), 0),
              VEXO_STATUS_SUCCESS);
  }
  void TearDown() override {
    CloseLog(log);
    vexo::free_device_record(dut);
  }
  // An AER capability at 0x100 with the two status registers.
  void give_aer(uint32_t uncorrectable, uint32_t correctable) {
    space.put32(dut_address, aer_offset, 0x00010001);  // ID 1, version 1, last
    space.put32(dut_address, aer_offset + 4, uncorrectable);
    space.put32(dut_address, aer_offset + 16, correctable);
  }
  // The texts the log received since the last call.
  std::string logged() {
    const std::string all = vexo_test::read_file(folder.file("l.txt"));
    std::string fresh = all.substr(seen);
    seen = all.size();
    return fresh;
  }

  vexo_test::temp_folder folder;
  vexo_test::fake_config_space space;
  VEXO_DEVICE_HANDLE_t dut = nullptr;
  VEXO_LOG_HANDLE_t log = nullptr;
  size_t seen = 0;
};

using assertion = VEXO_STATUS_t (*)(VEXO_DEVICE_HANDLE_t, VEXO_LOG_HANDLE_t, uint32_t, uint32_t);

TEST_F(AdvErrTest, AMissingCapabilityIsReportedByEveryAssertion) {
  const assertion all[] = {
      VEXO_ADVERR_Util_AssertTrainingErrorStatus,
      VEXO_ADVERR_Util_AssertDLProtocolErrorStatus,
      VEXO_ADVERR_Util_AssertFlowControlProtocolErrorStatus,
      VEXO_ADVERR_Util_AssertCompletionTimeoutStatus,
      VEXO_ADVERR_Util_AssertCompleterAbortStatus,
      VEXO_ADVERR_Util_AssertUnexpectedCompletionStatus,
      VEXO_ADVERR_Util_AssertReceiverOverflowStatus,
      VEXO_ADVERR_Util_AssertUnsupportedRequestErrorStatus,
      VEXO_ADVERR_Util_AssertReceiverErrorStatus,
      VEXO_ADVERR_Util_AssertBadTLPStatus,
      VEXO_ADVERR_Util_AssertBadDLLPStatus,
      VEXO_ADVERR_Util_AssertReplayNumberRolloverStatus,
      VEXO_ADVERR_Util_AssertReplayTimerTimeoutStatus,
  };
  for (assertion a : all) {
    EXPECT_EQ(a(dut, log, 1, 1), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
    EXPECT_EQ(logged(), "::Advanced Error Caps not implemented::");
  }
  EXPECT_TRUE(space.writes.empty());
}

TEST_F(AdvErrTest, EachAssertionNamesItsRegisterAndBit) {
  struct row {
    assertion a;
    bool correctable;
    int bit;
    const char* name;
  };
  const row rows[] = {
      {VEXO_ADVERR_Util_AssertTrainingErrorStatus, false, 0, "Training Error Status bit"},
      {VEXO_ADVERR_Util_AssertDLProtocolErrorStatus, false, 4, "Data Link Protocol Status bit"},
      {VEXO_ADVERR_Util_AssertFlowControlProtocolErrorStatus, false, 13,
       "Flow Control Protocol Error Status bit"},
      {VEXO_ADVERR_Util_AssertCompletionTimeoutStatus, false, 14, "Completion Timeout Status bit"},
      {VEXO_ADVERR_Util_AssertCompleterAbortStatus, false, 15, "Completer Abort Status bit"},
      {VEXO_ADVERR_Util_AssertUnexpectedCompletionStatus, false, 16,
       "Unexpected Completion Status bit"},
      {VEXO_ADVERR_Util_AssertReceiverOverflowStatus, false, 17, "Receiver Overflow Status bit"},
      {VEXO_ADVERR_Util_AssertUnsupportedRequestErrorStatus, false, 20,
       "Unsupported Request Error Status bit"},
      {VEXO_ADVERR_Util_AssertReceiverErrorStatus, true, 0, "Receiver Error Status bit"},
      {VEXO_ADVERR_Util_AssertBadTLPStatus, true, 6, "Bad TLP Status bit"},
      {VEXO_ADVERR_Util_AssertBadDLLPStatus, true, 7, "Bad DLLP Status bit"},
      {VEXO_ADVERR_Util_AssertReplayNumberRolloverStatus, true, 8,
       "Replay Number Rollover Status bit"},
      {VEXO_ADVERR_Util_AssertReplayTimerTimeoutStatus, true, 12,
       "Replay Timer Timeout Status bit"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    const std::string reg = r.correctable ? "Adv Error Correctable Status Register"
                                          : "Adv Error Uncorrectable Status Register";
    const std::string mismatch_colon = r.correctable && r.bit >= 8 ? " :  " : " : ";
    // Only this bit set; the neighbours in both registers must not matter.
    const uint32_t bit = 1u << r.bit;
    give_aer(r.correctable ? ~bit & 0x00FFFFFF : bit, r.correctable ? bit : ~bit & 0x00FFFFFF);
    EXPECT_EQ(r.a(dut, log, 1, 0), VEXO_STATUS_SUCCESS);
    EXPECT_EQ(logged(), "::(" + reg + " : " + r.name + " ) (Expected : SET) Actual value (SET)::");
    EXPECT_EQ(r.a(dut, log, 0, 0), VEXO_STATUS_FAILED);
    EXPECT_EQ(logged(), "::(" + reg + mismatch_colon + r.name +
                            " ) (Expected : CLEAR) Actual value (SET)::");
    give_aer(r.correctable ? ~0u : 0, r.correctable ? 0 : ~0u);
    EXPECT_EQ(r.a(dut, log, 1, 0), VEXO_STATUS_FAILED);
    EXPECT_EQ(logged(), "::(" + reg + mismatch_colon + r.name +
                            " ) (Expected : SET) Actual value (CLEAR)::");
    EXPECT_EQ(r.a(dut, log, 0, 0), VEXO_STATUS_SUCCESS);
    EXPECT_EQ(logged(),
              "::(" + reg + " : " + r.name + " ) (Expected : CLEAR) Actual value (CLEAR)::");
  }
  EXPECT_TRUE(space.writes.empty());  // no clear request, no write
}

TEST_F(AdvErrTest, ClearingWritesTheRegisterBackWithItsSetBits) {
  give_aer(0, 0x000011C1);  // receiver error, bad TLP, bad DLLP, rollover, timer time-out
  EXPECT_EQ(VEXO_ADVERR_Util_AssertBadTLPStatus(dut, log, 1, 1), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(space.writes.size(), 1u);
  EXPECT_EQ(space.writes[0].offset, aer_offset + 16);
  EXPECT_EQ(space.writes[0].bytes, (std::vector<uint8_t>{0xC1, 0x11, 0x00, 0x00}));
  // The fake space keeps what is written; a device would clear the ones. Do as it would.
  space.put32(dut_address, aer_offset + 16, 0);
  logged();
  EXPECT_EQ(VEXO_ADVERR_Util_AssertBadTLPStatus(dut, log, 0, 0), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(logged(), "::(Adv Error Correctable Status Register : Bad TLP Status bit ) "
                      "(Expected : CLEAR) Actual value (CLEAR)::");

  // Expected CLEAR, bit clear, clear request: still written, with the bit set.
  give_aer(0x00000010, 0);
  space.writes.clear();
  EXPECT_EQ(VEXO_ADVERR_Util_AssertCompletionTimeoutStatus(dut, log, 0, 1), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(space.writes.size(), 1u);
  EXPECT_EQ(space.writes[0].offset, aer_offset + 4);
  EXPECT_EQ(space.writes[0].bytes, (std::vector<uint8_t>{0x10, 0x40, 0x00, 0x00}));

  // A mismatch never writes.
  space.writes.clear();
  EXPECT_EQ(VEXO_ADVERR_Util_AssertTrainingErrorStatus(dut, log, 1, 1), VEXO_STATUS_FAILED);
  EXPECT_TRUE(space.writes.empty());
}

TEST_F(AdvErrTest, BadTLPReadsClearAfterALookupFailureOtherThanMissing) {
  // Two AER capabilities: the lookup refuses with "multiple instances".
  space.put32(dut_address, 0x100, 0x14010001);
  space.put32(dut_address, 0x140, 0x00010001);
  space.put32(dut_address, 0x150, 1u << 6);
  testing::internal::CaptureStdout();
  EXPECT_EQ(VEXO_ADVERR_Util_AssertBadTLPStatus(dut, log, 0, 0), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(logged(), "::(Adv Error Correctable Status Register : Bad TLP Status bit ) "
                      "(Expected : CLEAR) Actual value (CLEAR)::");
  EXPECT_EQ(VEXO_ADVERR_Util_AssertBadDLLPStatus(dut, log, 0, 0),
            VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(logged(), "::Advanced Error Caps not implemented::");
}

TEST_F(AdvErrTest, GetAdvErrorRepCapFillsTheRecord) {
  give_aer(0x11, 0x22);
  VEXO_ADVERR_INFO_t info;
  std::memset(&info, 0xEE, sizeof info);
  ASSERT_EQ(VEXO_ADVERR_Util_GetAdvErrorRepCap(dut, &info), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info.device, dut);
  EXPECT_EQ(info.aer.uncorrectable_status, 0x11u);
  EXPECT_EQ(info.aer.correctable_status, 0x22u);
  unsigned int offset = 0;
  EXPECT_EQ(GetCapOffset(info.cap, &offset), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(offset, aer_offset);
  VEXO_FreeCapabilityHandle(info.cap);

  space.put32(dut_address, aer_offset, 0);
  std::memset(&info, 0xEE, sizeof info);
  EXPECT_EQ(VEXO_ADVERR_Util_GetAdvErrorRepCap(dut, &info), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
  EXPECT_EQ(info.cap, nullptr);
  EXPECT_EQ(info.aer.correctable_status, 0u);
  EXPECT_EQ(info.device, dut);
}

}  // namespace
