// The data-link programs' own logic against the fake card: card mode check, command records,
// bounds on the DAT values, the action count poll and the checks on built traces.
#include "link_program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "../ReplayTLPOrder_EP_USW/ReplayTLPOrder_EP_USW.h"
#include "link_programs.h"
#include "retrain.h"
#include "skeleton_fixture.h"
#include "trace_builder.h"
#include "platform/process.h"

namespace zam_test {
namespace {

using vexo_test::trace_builder;
using zam::link_program;

const link_program* const all_programs[] = {
    &LinkRetrainOnRetryFail_EP_USW_program(),   &LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack_program(),
    &UndefinedDLLPEncoding_EP_USW_program(),    &ReXmitOnNak_EP_USW_program(),
    &ReplayNumTest_EP_USW_program(),            &ReplayTimerTest_EP_USW_program(),
    &ReplayTLPOrder_EP_USW_program(),           &ReservedFieldsDLLPReceive_EP_USW_program(),
    &WrongSeqNumInAckDLLP_EP_USW_program(),     &CorruptedDLLPs_EP_USW_program(),
    &DuplicateTLPSeqNum_EP_USW_program(),       &BadLCRC_EP_USW_program(),
};

std::vector<uint8_t> command_bytes(const vexo_cmd_map_t& map) {
  const auto* p = reinterpret_cast<const uint8_t*>(&map);
  return {p, p + sizeof map};
}

// The 48 bytes of a command record given as (position, value) pairs, zero elsewhere.
std::vector<uint8_t> record(std::initializer_list<std::pair<int, uint8_t>> set) {
  std::vector<uint8_t> bytes(48, 0);
  for (const auto& [at, value] : set) bytes[static_cast<size_t>(at)] = value;
  return bytes;
}

// A completion with data for the DUT's configuration read.
std::vector<uint8_t> completion() {
  return {0x4A, 0, 0, 1, 0x03, 0, 0, 4, 0, 0, 0, 0, 0xCD, 0xAB, 0x20, 0};
}
std::vector<uint8_t> err_cor() {
  return {0x30, 0, 0, 0, 0x03, 0, 0, 0x30, 0, 0, 0, 0, 0, 0, 0, 0};
}

class LinkPrograms : public SkeletonTest {
 protected:
  // Runs the sequence and the checks as the runner does after the card mode check.
  VEXO_STATUS_t sequence_and_judge(const link_program& program) {
    const VEXO_STATUS_t status = zam::run_link_sequence(program, run);
    return status != VEXO_STATUS_SUCCESS ? status : program.judge(run);
  }
  std::vector<std::string> slots() const {
    std::vector<std::string> names;
    for (const auto& r : fake.requests) names.push_back(r.slot);
    return names;
  }
};

TEST_F(LinkPrograms, EveryProgramEndsWithFailedStatusWhenTheCardIsNotAnAddInCard) {
  fake.mode = 1;
  for (const link_program* program : all_programs) {
    bool end = false;
    EXPECT_EQ(zam::check_card_mode(run, program->mode, &end), zam::verdict_failed)
        << program->test_name;
    EXPECT_TRUE(end);
  }
  const std::string log = log_text();
  EXPECT_NE(log.find("status = \"ABORT\">\nZAM is not in Add-in card mode. Please set ZAM in "
                     "add-in card mode and re-run the test</ASSERTTAG>"),
            std::string::npos);
  EXPECT_NE(log.find("::ZAM is not in Add-in card mode::. Please set ZAM in add-in card mode::"),
            std::string::npos);
}

TEST_F(LinkPrograms, AFailingModeQueryEndsMostProgramsButNotReXmitOnNak) {
  fake.slot_result["GetMode"] = 0xC0000001;
  bool end = false;
  EXPECT_EQ(zam::check_card_mode(run, BadLCRC_EP_USW_program().mode, &end),
            0xC0000001u);
  EXPECT_TRUE(end);
  EXPECT_EQ(zam::check_card_mode(run, ReservedFieldsDLLPReceive_EP_USW_program().mode, &end),
            0xC0000001u);
  EXPECT_TRUE(end);
  EXPECT_EQ(zam::check_card_mode(run, ReXmitOnNak_EP_USW_program().mode, &end),
            VEXO_STATUS_SUCCESS);
  EXPECT_FALSE(end);
  const std::string log = log_text();
  EXPECT_NE(log.find("<ABORT>\nUnable to query current ZAM mode</ABORT>\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("<INFO>\nUnable to query current ZAM mode</INFO>\n<INFO>\nVerifying"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Unable to query current ZAM mode</INFO>\n\n<ASSERTTAG assertion = "
                     "\"DLL.5.2#1.0\" status = \"INFORMATIONAL\">\nAssertion(s) being tested "
                     "here\n</ASSERTTAG>"),
            std::string::npos)
      << log;
}

TEST_F(LinkPrograms, CommandRecordsHoldExactlyTheirBytes) {
  const std::vector<uint8_t> usual_mask_rest = {0x7F, 0x30, 0xF3, 0xFF};
  struct expectation {
    const link_program* program;
    std::vector<uint8_t> bytes;
  };
  // ReplayCount 3 from the fixture.
  const expectation cases[] = {
      {&LinkRetrainOnRetryFail_EP_USW_program(),
       record({{1, 1}, {7, 4}, {8, 0x4A}, {11, 1}, {24, 0x7F}, {25, 0x30}, {26, 0xF3}, {27, 0xFF}})},
      {&LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack_program(),
       record({{1, 2}, {7, 4}, {8, 0x4A}, {11, 1}, {24, 0x7F}, {25, 0x30}, {26, 0xF3}, {27, 0xFF}})},
      {&ReplayNumTest_EP_USW_program(),
       record({{1, 1}, {7, 3}, {8, 0x4A}, {11, 1}, {24, 0x7F}, {25, 0x30}, {26, 0xF3}, {27, 0xFF}})},
      {&DuplicateTLPSeqNum_EP_USW_program(),
       record({{1, 0x0B}, {7, 1}, {8, 0x04}, {11, 1}, {24, 0x7F}, {25, 0x30}, {26, 0xF3}, {27, 0xFF}})},
      {&BadLCRC_EP_USW_program(),
       record({{1, 5}, {7, 1}, {8, 0x04}, {11, 1}, {24, 0x7F}, {25, 0x30}, {26, 0xF3}, {27, 0xFF}})},
      {&CorruptedDLLPs_EP_USW_program(), record({{1, 0x20}, {7, 1}, {44, 0xFF}})},
      {&ReservedFieldsDLLPReceive_EP_USW_program(),
       record({{1, 0x21}, {7, 1}, {24, 0x7F}, {25, 0x30}, {26, 0xF3}, {27, 0xFF}, {44, 0xFF}})},
      {&UndefinedDLLPEncoding_EP_USW_program(),
       record({{1, 0x22}, {7, 1}, {8, 0x01}, {24, 0x7F}, {25, 0x30}, {26, 0xF3}, {27, 0xFF}, {44, 0xFF}})},
      {&WrongSeqNumInAckDLLP_EP_USW_program(),
       record({{1, 0x23}, {7, 1}, {8, 0x4A}, {11, 1}, {24, 0x7F}, {25, 0x30}, {26, 0xF3}, {27, 0xFF}})},
  };
  for (const expectation& c : cases) {
    vexo_cmd_map_t map{};
    ASSERT_EQ(c.program->build_command(run, &map), VEXO_STATUS_SUCCESS);
    EXPECT_EQ(command_bytes(map), c.bytes) << c.program->test_name;
  }
  // The largest ReplayCount the 12-bit count holds.
  run.dat.replay_count = 4094;
  vexo_cmd_map_t map{};
  ASSERT_EQ(LinkRetrainOnRetryFail_EP_USW_program().build_command(run, &map), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(map.count_high, 0x0F);
  EXPECT_EQ(map.count_low, 0xFF);
}

TEST_F(LinkPrograms, AReplayCountTheCardCannotHoldIsRefused) {
  for (int32_t bad : {4095, -1, 100000}) {
    run.dat.replay_count = bad;
    for (const link_program* program :
         {&LinkRetrainOnRetryFail_EP_USW_program(), &ReplayNumTest_EP_USW_program()}) {
      vexo_cmd_map_t map{};
      EXPECT_EQ(program->build_command(run, &map), VEXO_STATUS_INVALID_PARAMETER) << bad;
    }
  }
  EXPECT_NE(log_text().find("status = \"ABORT\">\nReplayCount[4095] in the DAT file is outside "
                            "0..4094; the card counts in 12 bits\n</ASSERTTAG>"),
            std::string::npos)
      << log_text();
  // Nothing reached the card.
  EXPECT_TRUE(fake.requests.empty());
}

TEST_F(LinkPrograms, ReplayTLPOrderSizesItsReadFromPayloadAndWidthWithinBounds) {
  // Max_Payload_Size 256 (code 1) at x1: 12; at x4 no row matches: 3.
  EXPECT_EQ(replay_tlp_order_count(0x0020, 0x0011, 0), 12);
  EXPECT_EQ(replay_tlp_order_count(0x0020, 0x0041, 0), 3);
  EXPECT_EQ(replay_tlp_order_count(0x0020, 0x0041, 2), 5);
  EXPECT_EQ(replay_tlp_order_count(0x00A0, 0x0011, -1), 191);  // 4096 bytes
  EXPECT_EQ(replay_tlp_order_count(0x00E0, 0x0011, 0), 6);     // reserved code: 128 bytes

  const link_program& program = ReplayTLPOrder_EP_USW_program();
  set_express_registers(0x0020, 0, 0x0011);
  run.dat.offset = 0x10;
  run.dat.increment = 0;
  ASSERT_EQ(program.before_mode_check(run), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(run.read_offset, 0x10u);
  EXPECT_EQ(run.read_length, 48u);
  vexo_cmd_map_t map{};
  ASSERT_EQ(program.build_command(run, &map), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(map.command, VEXO_ZAM_CMD_NO_ACK_NAK);
  EXPECT_EQ(map.count_low, 12);

  struct bad_case {
    int16_t increment;
    uint16_t offset;
  };
  for (const bad_case& c : {bad_case{-12, 0}, bad_case{-20, 0}, bad_case{0, 4050},
                            bad_case{4084, 0}, bad_case{0, 0xFFFF}}) {
    run.dat.increment = c.increment;
    run.dat.offset = c.offset;
    EXPECT_EQ(program.before_mode_check(run), VEXO_STATUS_INVALID_PARAMETER)
        << c.increment << " " << c.offset;
  }
  // The largest read that fits: 1024 dwords at offset 0.
  run.dat.increment = 1012;
  run.dat.offset = 0;
  EXPECT_EQ(program.before_mode_check(run), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(run.read_length, 4096u);
  EXPECT_NE(log_text().find("status = \"ABORT\">\nReplayTLPOrder_EP_USW. The read of [0] dwords "
                            "at offset[0x0] does not fit"),
            std::string::npos)
      << log_text();
}

TEST_F(LinkPrograms, ReplayTLPOrderFailsADutWhoseLinkHasNoPciExpressWidth) {
  const link_program& program = ReplayTLPOrder_EP_USW_program();
  for (const uint16_t width : {0, 3, 5, 33}) {
    set_express_registers(0x0020, 0, static_cast<uint16_t>(width << 4));
    EXPECT_EQ(program.before_mode_check(run), zam::verdict_failed) << width;
    EXPECT_NE(log_text().find("status = \"FAILED\">\nReplayTLPOrder_EP_USW. Negotiated Link Width of DUT [" +
                              std::to_string(width) +
                              "] is not a PCI Express link width (x1, x2, x4, x8, x12, x16, x32)\n</ASSERTTAG>"),
              std::string::npos)
        << log_text();
  }
  set_express_registers(0x0020, 0, 12 << 4);  // x12 is a width
  EXPECT_EQ(program.before_mode_check(run), VEXO_STATUS_SUCCESS);
}

TEST_F(LinkPrograms, ReplayTLPOrderWithoutAnExpressCapabilityAborts) {
  space.functions.at(dut_address)[0x34] = 0;
  CloseDevice(run.dut);
  run.dut = record_of(dut_address);
  EXPECT_NE(ReplayTLPOrder_EP_USW_program().before_mode_check(run), VEXO_STATUS_SUCCESS);
  EXPECT_NE(log_text().find("Unable to determine max payload size and link width of DUT\n"),
            std::string::npos);
}

class ActionCountPoll : public LinkPrograms {
 protected:
  void SetUp() override { platform::set_environment("ZAM_TIME_SCALE", "0.0001"); }
  void TearDown() override { platform::unset_environment("ZAM_TIME_SCALE"); }
};

TEST_F(ActionCountPoll, GivesUpOnACountThatNeverReachesZero) {
  fake.action_count = 2;
  testing::internal::CaptureStdout();
  zam::poll_action_count(run);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed, "Action Count value = 2 \n");
  const std::string log = log_text();
  EXPECT_NE(log.find("<FAIL>\nAction count of the ZAM did not reach 0 within 10 seconds; going "
                     "on\n</FAIL>"),
            std::string::npos)
      << log;
  size_t polls = 0;
  for (const auto& r : fake.requests) polls += r.slot == "GetActionCount";
  EXPECT_GE(polls, 1u);
  EXPECT_LE(polls, 10000u);
}

TEST_F(ActionCountPoll, StopsAtZeroOrAtAFailedQuery) {
  fake.action_count = 0;
  testing::internal::CaptureStdout();
  zam::poll_action_count(run);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Action Count value = 0 \n");
  EXPECT_EQ(slots().front(), "GetActionCount");
  EXPECT_EQ(log_text().find("within 10 seconds"), std::string::npos);

  fake.requests.clear();
  fake.slot_result["GetActionCount"] = 0xC0000001;
  testing::internal::CaptureStdout();
  zam::poll_action_count(run);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Action Count value = 4 \n");
  EXPECT_EQ(slots().size(), 1u);
  EXPECT_NE(log_text().find("<FAIL>\nFailed in retreiving action count from ZAM</FAIL>"),
            std::string::npos);
}

TEST_F(LinkPrograms, ReXmitOnNakPassesOnTwoCompletionsAndACleanStatus) {
  fake.trace = trace_builder{}.tlp(completion()).dllp(0x10).tlp(completion()).dllp(0x00).bytes;
  EXPECT_EQ(sequence_and_judge(ReXmitOnNak_EP_USW_program()), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(slots(), (std::vector<std::string>{"GetTraceConfig", "SetTraceConfig", "ProgramCommand",
                                               "Arm", "Disarm", "GetTraceByteCount", "ReadTrace",
                                               "GetActionCount"}));
  const std::string log = log_text();
  EXPECT_NE(log.find("<INFO>\nSTART: Reading DUT Config Space at offset[0] length[4]\n</INFO>"),
            std::string::npos);
  EXPECT_NE(log.find("<SUCCESS>\nReXmintOnNAK_EP_USW. Expecting [2] completion TLPs. Found[2] "
                     "completion TLPs\n</SUCCESS>\n<SUCCESS>\nAs expected No bits have been set "
                     "in device status register for DUT\n</SUCCESS>\n\n<ASSERTTAG assertion = "
                     "\"DLL.5.2#1.0\" status = \"SUCCESS\">\nReXmitOnNAK - PASS \n</ASSERTTAG>"),
            std::string::npos)
      << log;
}

TEST_F(LinkPrograms, ReXmitOnNakFailsOnOneCompletionOrAnErrorBit) {
  fake.trace = trace_builder{}.tlp(completion()).bytes;
  set_express_registers(0, 0x0001);
  EXPECT_EQ(sequence_and_judge(ReXmitOnNak_EP_USW_program()), zam::verdict_failed);
  const std::string log = log_text();
  EXPECT_NE(log.find("<FAIL>\nExpecting [2] TLPs . \t\t                Found [1] TLPs in the trace "
                     "buffer \n</FAIL>\n<FAIL>\nExpected no bits to be set in the Device Status "
                     "Register. Value (16-bit)[0x1]\n</FAIL>"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("status = \"FAILED\">\nReXmitOnNAK - FAIL\n</ASSERTTAG>"), std::string::npos);
}

TEST_F(LinkPrograms, DuplicateTLPSeqNumAllowsUpToTwoAcks) {
  set_express_registers(0, 0);
  for (int acks = 0; acks <= 3; ++acks) {
    trace_builder trace;
    trace.tlp({0x04, 0, 0, 1, 0, 0, 0, 0x0F, 0x03, 0, 0, 0}).tlp(completion());
    for (int i = 0; i < acks; ++i) trace.dllp(0x00);
    fake.trace = trace.bytes;
    EXPECT_EQ(sequence_and_judge(DuplicateTLPSeqNum_EP_USW_program()),
              acks <= 2 ? VEXO_STATUS_SUCCESS : zam::verdict_failed)
        << acks;
  }
  EXPECT_NE(log_text().find("<FAIL>\nDid not find ACK DLLP(s) as expected\n</FAIL>"),
            std::string::npos);
}

TEST_F(LinkPrograms, BadLCRCPassesWithSeveralNaksAndFailsWithout) {
  set_express_registers(0, 0x0001);
  fake.trace = trace_builder{}.dllp(0x10).dllp(0x10).tlp(completion()).tlp(err_cor()).bytes;
  EXPECT_EQ(sequence_and_judge(BadLCRC_EP_USW_program()), VEXO_STATUS_SUCCESS);
  fake.trace = trace_builder{}.tlp(completion()).tlp(err_cor()).bytes;
  EXPECT_EQ(sequence_and_judge(BadLCRC_EP_USW_program()), zam::verdict_failed);
  EXPECT_NE(log_text().find("<FAIL>\nExpecting [1] NAK DLLP. Found[0] NAK DLLP in the trace "
                            "buffer\n</FAIL>"),
            std::string::npos);
}

TEST_F(LinkPrograms, ACompletionWhoseByteCountLooksLikeErrCorDoesNotPassReplayTimer) {
  set_express_registers(0, 0x0001);
  auto look_alike = completion();
  look_alike[7] = 0x30;
  fake.trace = trace_builder{}.tlp(look_alike).tlp(completion()).bytes;
  EXPECT_EQ(sequence_and_judge(ReplayTimerTest_EP_USW_program()), zam::verdict_failed);
  EXPECT_NE(log_text().find("<FAIL>\nReplayTimerTest. Expecting to see at least one ERR_COR "
                            "message. Found none\n</FAIL>"),
            std::string::npos);
}

TEST_F(LinkPrograms, AStepFailureEndsTheBodyWithItsStatusAndNoVerdict) {
  fake.slot_result["Arm"] = 0xC0000001;
  EXPECT_EQ(sequence_and_judge(ReplayNumTest_EP_USW_program()), 0xC0000001u);
  const std::string log = log_text();
  EXPECT_NE(log.find("status = \"ABORT\">\nFAIL - ArmZAM() \n</ASSERTTAG>"), std::string::npos);
  EXPECT_EQ(log.find("ReplayNumTest_EP_USW - "), std::string::npos);
  EXPECT_EQ(slots().back(), "Arm");
}

TEST_F(LinkPrograms, CorruptedDLLPsWritesNoVerdictWhenTheCompletionSearchFails) {
  // A card record that is not a card's: every search fails.
  fake.trace = trace_builder{}.tlp(completion()).bytes;
  ASSERT_EQ(zam::run_link_sequence(CorruptedDLLPs_EP_USW_program(), run), VEXO_STATUS_SUCCESS);
  VEXO_DEVICE_HANDLE_t card = run.card;
  run.card = run.dut;
  EXPECT_EQ(CorruptedDLLPs_EP_USW_program().judge(run), VEXO_STATUS_INVALID_PARAMETER);
  run.card = card;
  const std::string log = log_text();
  EXPECT_NE(log.find("<FAIL>\nGetNumTLPMatches() returned none \n</FAIL>"), std::string::npos);
  EXPECT_EQ(log.find("CorruptedDLLPs_EP_USW Test"), std::string::npos);
}

}  // namespace
}  // namespace zam_test
