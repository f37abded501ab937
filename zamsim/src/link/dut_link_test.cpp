// The link between the card and the DUT, one group per data link rule: replays on Nak,
// REPLAY_NUM rollover and retraining, the replay timer, bad LCRC, duplicates, DLLP CRC,
// reserved DLLP bits, undefined DLLP types, bogus Ack sequence numbers, sequence wrap.
#include "link/dut_link.h"

#include <gtest/gtest.h>

#include "link/link_test_support.h"

namespace zamsim {
namespace {

constexpr uint32_t dut_id = 0x0020ABCD;
constexpr uint8_t cpl_d = 0x4A, cfg_rd0 = 0x04;
const std::string tlp_cpld = "TLP  4a", tlp_cfgrd0 = "TLP  04", ack = "DLLP 00", nak = "DLLP 10";
const std::string err_cor = "TLP  30 00 00 00 03 00 00 30", err_fatal = "TLP  30 00 00 00 03 00 00 33";

constexpr uint32_t bad_tlp = 1u << 6, bad_dllp = 1u << 7, rollover = 1u << 8, timer_timeout = 1u << 12;
constexpr uint32_t data_link_protocol = 1u << 4;

using DataLinkTest = LinkStationTest;

TEST_F(DataLinkTest, NaksOfOneTlpGiveOneMoreTransmissionAndNoError) {
  enable_error_reporting();
  for (uint16_t naks : {1, 3}) {
    program(fault_command::nak, naks, cpl_d, 1);
    uint32_t value = 0;
    const auto trace = exchange(&value);
    EXPECT_EQ(value, dut_id);
    EXPECT_EQ(count(trace, tlp_cpld), naks + 1) << naks;
    EXPECT_EQ(count(trace, nak), naks);
    EXPECT_EQ(count(trace, "TLP  30"), 0);  // a Nak is not an error
    EXPECT_EQ(card_word(15), 0u);           // every action taken
    EXPECT_EQ(correctable_status(), 0u);
    EXPECT_EQ(device_status() & 0xF, 0);
    EXPECT_EQ(link_->dut_end().REPLAY_NUM(), 0);  // reset by the Ack that followed
    EXPECT_TRUE(link_->dut_end().retry_buffer().empty());
  }
}

TEST_F(DataLinkTest, TheFourthNakRollsReplayNumOverRetrainsThenReplays) {
  enable_error_reporting();
  program(fault_command::nak, 4, cpl_d, 1);
  const tick start = link_->queue().now();
  uint32_t value = 0;
  const auto trace = exchange(&value);
  EXPECT_EQ(value, dut_id);
  EXPECT_EQ(count(trace, tlp_cpld), 5);
  EXPECT_EQ(count(trace, nak), 4);
  EXPECT_EQ(correctable_status(), rollover);
  EXPECT_EQ(device_status() & 0xF, 0x1);
  EXPECT_EQ(count(trace, err_cor), 1);
  // The link trained once, for the training time, and the replay waited for it.
  EXPECT_EQ(link_->retrains(), 1u);
  EXPECT_GE(link_->queue().now() - start, dut_link::training_time);
  EXPECT_FALSE(link_->training());
  const uint16_t port_cap = station_->tree().pcie_capability(station_->config().card_port_device);
  uint32_t link_status = 0;
  station_->tree().read_dword(*station_->roles().card_port, port_cap + 0x10, link_status);
  EXPECT_EQ(link_status & (1u << 27), 0u) << "Link Training still set";
}

TEST_F(DataLinkTest, LinkTrainingReadsOneForTheTrainingTimeThenZero) {
  const bdf port = *station_->roles().card_port;
  const uint16_t cap = station_->tree().pcie_capability(station_->config().card_port_device);
  const auto training_bit = [&] {
    uint32_t v = 0;
    station_->tree().read_dword(port, cap + 0x10, v);
    return (v >> 27) & 1;
  };
  // A probe inside the training time sees the bit set; the write settles past it.
  const tick start = link_->queue().now();
  uint32_t during = 0;
  link_->queue().schedule_once(start + dut_link::training_time / 2, [&] { during = training_bit(); });
  uint8_t control[2];
  station_->host_read(port, cap + 0x10, 2, control);
  EXPECT_EQ(control[0] & 0x20, 0);  // Retrain Link reads 0
  control[0] |= 0x20;
  station_->host_write(port, cap + 0x10, 2, control);
  EXPECT_EQ(during, 1u);
  EXPECT_EQ(training_bit(), 0u);
  EXPECT_EQ(link_->retrains(), 1u);
  EXPECT_EQ(link_->queue().now(), start + dut_link::training_time);
  station_->host_read(port, cap + 0x10, 2, control);
  EXPECT_EQ(control[0] & 0x20, 0);
}

TEST_F(DataLinkTest, AWithheldAckBringsATimerReplayAndReplayTimerTimeout) {
  enable_error_reporting();
  program(fault_command::no_ack_nak, 1, cpl_d, 1);
  uint32_t value = 0;
  const auto trace = exchange(&value);
  EXPECT_EQ(value, dut_id);
  EXPECT_EQ(count(trace, tlp_cpld), 2);
  EXPECT_EQ(count(trace, nak), 0);
  EXPECT_EQ(correctable_status(), timer_timeout);
  EXPECT_EQ(device_status() & 0xF, 0x1);
  EXPECT_EQ(count(trace, err_cor), 1);
  EXPECT_TRUE(link_->dut_end().retry_buffer().empty());
}

TEST_F(DataLinkTest, WithheldAcksFourTimesRollOverAfterThreeTimerReplays) {
  enable_error_reporting();
  program(fault_command::no_ack_nak, 4, cpl_d, 1);
  const auto trace = exchange();
  EXPECT_EQ(count(trace, tlp_cpld), 5) << ::testing::PrintToString(trace);
  EXPECT_EQ(correctable_status(), rollover | timer_timeout);
  EXPECT_EQ(link_->retrains(), 1u);
}

TEST_F(DataLinkTest, ABadLcrcIsNakedReportedAndReplayed) {
  enable_error_reporting();
  program(fault_command::corrupt_lcrc, 1, cfg_rd0, 1);
  uint32_t value = 0;
  const auto trace = exchange(&value);
  EXPECT_EQ(value, dut_id);
  EXPECT_EQ(count(trace, tlp_cfgrd0), 2);  // the corrupted one and the replay
  EXPECT_EQ(count(trace, tlp_cpld), 1);
  EXPECT_EQ(count(trace, nak), 1);
  EXPECT_EQ(count(trace, err_cor), 1);
  EXPECT_EQ(correctable_status(), bad_tlp);
  EXPECT_EQ(device_status() & 0xF, 0x1);
  EXPECT_FALSE(link_->dut_end().NAK_SCHEDULED());  // cleared by the good replay
}

TEST_F(DataLinkTest, ADuplicateIsDroppedAndBothAreAcknowledgedByOneAck) {
  enable_error_reporting();
  program(fault_command::duplicate_seq_num, 1, cfg_rd0, 1);
  const auto trace = exchange();
  ASSERT_GE(trace.size(), 3u);
  EXPECT_EQ(trace[0], trace[1]);  // the same TLP twice, back to back
  EXPECT_EQ(count(trace, tlp_cfgrd0), 2);
  EXPECT_EQ(count(trace, tlp_cpld), 1);
  EXPECT_EQ(count(trace, ack), 2);  // the DUT's one Ack for both, the card's for the CplD
  EXPECT_EQ(correctable_status(), 0u);
  EXPECT_EQ(device_status() & 0xF, 0);
}

TEST_F(DataLinkTest, ADllpWithABadCrcIsDroppedAndReportedAsBadDllp) {
  enable_error_reporting();
  program(fault_command::corrupt_dllp, 1, 0, 0, false);
  uint32_t value = 0;
  const auto trace = exchange(&value);
  EXPECT_EQ(value, dut_id);
  EXPECT_GE(count(trace, tlp_cpld), 1);
  EXPECT_EQ(correctable_status() & bad_dllp, bad_dllp);
  EXPECT_GE(count(trace, err_cor), 1);
  EXPECT_EQ(device_status() & 0xF, 0x1);
  EXPECT_TRUE(link_->dut_end().retry_buffer().empty());
}

TEST_F(DataLinkTest, ReservedDllpBitsAreIgnored) {
  enable_error_reporting();
  program(fault_command::dllp_reserved_bits, 1);
  const auto trace = exchange();
  EXPECT_EQ(count(trace, tlp_cpld), 1);
  EXPECT_EQ(count(trace, "DLLP 00 ff f"), 1);  // the Ack with its reserved bits set
  EXPECT_EQ(correctable_status(), 0u);
  EXPECT_EQ(device_status() & 0xF, 0);
  EXPECT_TRUE(link_->dut_end().retry_buffer().empty());  // it still acknowledged the CplD
}

TEST_F(DataLinkTest, AnUndefinedDllpIsDroppedWithoutError) {
  enable_error_reporting();
  program(fault_command::undefined_dllp, 1, 0, 0, true, 0, 0x01);
  const auto trace = exchange();
  EXPECT_EQ(count(trace, "DLLP 01"), 1);
  // The Ack it replaced never came, so the DUT's timer replayed the completion.
  EXPECT_EQ(count(trace, tlp_cpld), 2);
  EXPECT_EQ(correctable_status(), timer_timeout);  // no Bad DLLP
  EXPECT_EQ(uncorrectable_status() & data_link_protocol, 0u);
}

TEST_F(DataLinkTest, AnAckWithABogusSequenceNumberIsADataLinkProtocolError) {
  enable_error_reporting();
  program(fault_command::dllp_bogus_seq_num, 1, cpl_d, 1);
  uint32_t value = 0;
  const auto trace = exchange(&value);
  EXPECT_EQ(value, dut_id);
  EXPECT_EQ(count(trace, tlp_cpld), 1);
  EXPECT_EQ(uncorrectable_status(), data_link_protocol);
  EXPECT_EQ(device_status() & 0x4, 0x4);
  EXPECT_EQ(count(trace, err_fatal), 1);
  EXPECT_TRUE(link_->dut_end().retry_buffer().empty());  // the real Ack that followed

  // Without SERR# and the fatal reporting enable: the status bits, but no message.
  const uint8_t no_enables[2] = {0, 0};
  station_->host_write(dut_, pcie() + 0x08, 2, no_enables);
  uint8_t command[2];
  station_->host_read(dut_, 0x04, 2, command);
  command[1] &= ~0x01;
  station_->host_write(dut_, 0x04, 2, command);
  program(fault_command::dllp_bogus_seq_num, 1, cpl_d, 1);
  const auto quiet = exchange();
  EXPECT_EQ(count(quiet, "TLP  30"), 0);
  EXPECT_EQ(uncorrectable_status(), data_link_protocol);
}

TEST_F(DataLinkTest, SequenceNumbersWrapPastFourThousandNinetyFive) {
  for (int i = 0; i < 4094; ++i) ASSERT_EQ(read_dut(), dut_id);
  EXPECT_EQ(link_->card_end().NEXT_TRANSMIT_SEQ(), 4094);
  EXPECT_EQ(link_->dut_end().NEXT_TRANSMIT_SEQ(), 4094);
  // Naks across the wrap: completions 4094 and 4095 and then 0.
  enable_error_reporting();
  program(fault_command::nak, 3, cpl_d, 1);
  arm();
  for (int i = 0; i < 6; ++i) EXPECT_EQ(read_dut(), dut_id);
  disarm();
  EXPECT_EQ(count(trace_lines(), nak), 3);
  EXPECT_EQ(link_->card_end().NEXT_RCV_SEQ(), link_->dut_end().NEXT_TRANSMIT_SEQ());
  EXPECT_EQ(link_->dut_end().NEXT_RCV_SEQ(), link_->card_end().NEXT_TRANSMIT_SEQ());
  EXPECT_LT(link_->card_end().NEXT_TRANSMIT_SEQ(), 16);  // wrapped
  EXPECT_EQ(link_->dut_end().ACKD_SEQ(), (link_->dut_end().NEXT_TRANSMIT_SEQ() + 4095) % 4096);
  EXPECT_EQ(correctable_status(), 0u);
}

TEST_F(DataLinkTest, DelayTlpHoldsTheCompletionInVirtualTime) {
  program(fault_command::delay_tlp, 1, cpl_d, 1, true, 125'000);  // 1 ms in 8 ns units
  const tick start = link_->queue().now();
  uint32_t value = 0;
  const auto trace = exchange(&value);
  EXPECT_EQ(value, dut_id);
  EXPECT_GE(link_->queue().now() - start, tick{1'000'000});
  EXPECT_EQ(count(trace, tlp_cpld), 1);
}

TEST_F(DataLinkTest, ShowListsBothEndsAndTheCommand) {
  program(fault_command::nak, 2, cpl_d, 1);
  arm();
  const std::string shown = station_->describe();
  EXPECT_NE(shown.find("card: command 0x01 (NAK), count 2, 2 actions still to do"), std::string::npos) << shown;
  EXPECT_NE(shown.find("link: card port   NEXT_TRANSMIT_SEQ"), std::string::npos) << shown;
  EXPECT_NE(shown.find("link: DUT         NEXT_TRANSMIT_SEQ"), std::string::npos) << shown;
  EXPECT_NE(shown.find("retry buffer: empty"), std::string::npos) << shown;
}

}  // namespace
}  // namespace zamsim
