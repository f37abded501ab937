// Card commands: packets in, packets out, state kept between them.
#include "card/card.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/devio.h"

namespace zamsim {
namespace {

struct packet {
  uint8_t bytes[56] = {};
  packet(uint32_t command, uint32_t argument) {
    std::memcpy(bytes, &command, 4);
    std::memcpy(bytes + 4, &argument, 4);
  }
  uint32_t word(int index) const {
    uint32_t v;
    std::memcpy(&v, bytes + 4 * index, 4);
    return v;
  }
};

uint32_t send(zam_card& card, packet& p) {
  uint32_t returned = 0;
  const uint32_t status = card.serve(p.bytes, 56, p.bytes, 56, returned);
  if (status == 0) {
    EXPECT_EQ(returned, 56u);
  }
  return status;
}

TEST(CardTest, ModeTraceConfigAndLogging) {
  zam_card card(mode_add_in_card, mode_topology);
  packet get_mode(card_command::get_mode, 0xDEAD);
  ASSERT_EQ(send(card, get_mode), 0u);
  EXPECT_EQ(get_mode.word(1), mode_add_in_card);
  packet set_mode(card_command::set_mode, mode_known_endpoint);
  ASSERT_EQ(send(card, set_mode), 0u);
  packet again(card_command::get_mode, 0);
  send(card, again);
  EXPECT_EQ(again.word(1), mode_known_endpoint);
  card.power_cycle();  // loads the next-boot mode
  EXPECT_EQ(card.mode(), mode_topology);

  packet set_config(card_command::set_trace_config, 0x1E00);
  send(card, set_config);
  packet get_config(card_command::get_trace_config, 0);
  send(card, get_config);
  EXPECT_EQ(get_config.word(1), 0x1E00u);
  packet properties(card_command::get_properties, 0);
  send(card, properties);
  EXPECT_EQ(properties.word(1), card_properties);

  EXPECT_FALSE(card.recording());
  packet arm(card_command::arm, 0);
  send(card, arm);
  EXPECT_TRUE(card.recording());
  packet suspend(card_command::logging, 1);
  send(card, suspend);
  EXPECT_FALSE(card.recording());
  packet resume(card_command::logging, 0);
  send(card, resume);
  EXPECT_TRUE(card.recording());
  packet disarm(card_command::disarm, 0);
  send(card, disarm);
  EXPECT_FALSE(card.recording());

  packet unknown(99, 0);
  EXPECT_EQ(send(card, unknown), platform::error::invalid_function);
  uint32_t returned = 0;
  EXPECT_EQ(card.serve(arm.bytes, 12, arm.bytes, 56, returned), platform::error::invalid_parameter);
}

TEST(CardTest, ProgramArmAndReadTrace) {
  zam_card card(0, 0);
  packet program(card_command::program, 0);
  for (int i = 0; i < 48; ++i) program.bytes[4 + i] = static_cast<uint8_t>(i + 1);
  ASSERT_EQ(send(card, program), 0u);
  EXPECT_NE(card.describe().find("programmed command 01 02 03"), std::string::npos);

  card.trace().add_dllp(ack_nak_dllp(dllp_ack, 1));  // left from an earlier capture
  packet arm(card_command::arm, 0);
  send(card, arm);
  packet count(card_command::trace_byte_count, 0);
  send(card, count);
  EXPECT_EQ(count.word(1), 0u);  // arming starts an empty capture
  card.trace().add_tlp(config_request_tlp(false, false, bdf{2, 0, 0}, 0, 0xF, 0, 0, 0));
  send(card, count);
  EXPECT_EQ(count.word(1), 20u);

  // Command 7: 64-bit count at 8, data from byte 56; the count delivered is written back.
  std::vector<uint8_t> read(56 + 100, 0xAA);
  std::memset(read.data(), 0, 56);
  read[0] = card_command::read_trace;
  const uint64_t wanted = 100;
  std::memcpy(read.data() + 8, &wanted, 8);
  uint32_t returned = 0;
  ASSERT_EQ(card.serve(read.data(), 56 + 100, read.data(), 56 + 100, returned), 0u);
  uint64_t delivered;
  std::memcpy(&delivered, read.data() + 8, 8);
  EXPECT_EQ(delivered, 20u);
  EXPECT_EQ(returned, 76u);
  EXPECT_EQ(read[56], 0xF1);
  // Asking for more than the output holds is refused, never overrun.
  const uint64_t too_many = 1000;
  std::memcpy(read.data() + 8, &too_many, 8);
  EXPECT_EQ(card.serve(read.data(), 56, read.data(), 56 + 100, returned), platform::error::insufficient_buffer);
}

}  // namespace
}  // namespace zamsim

namespace zamsim {
namespace {

// What show prints of the trace: zamtrace's listing, indented, cut after 256 records.
TEST(CardTest, DescribeListsTheTraceDecodedAndCutsALongOne) {
  zam_card card(0, 0);
  card.trace().add_tlp(config_request_tlp(false, false, bdf{3, 0, 0}, 0x10, 0xF, 0, 0, 9),
                       trace_note{true, true, trace_action::bad_lcrc, 2500});
  card.trace().add_dllp(ack_nak_dllp(dllp_nak, 0x123), trace_note{true, false, trace_action::none, 2600});
  std::string text = card.describe();
  EXPECT_NE(text.find("\n   index      time ns dir  type                       fields [marks]\n"
                      "       0         2500 down CfgRd0                     requester 00:00.0 completer 03:00.0 "
                      "tag 9 register 0x010 length 1 be F/0 [bad-LCRC]\n"
                      "       1         2600 up   Nak                        seq 291\n"),
            std::string::npos)
      << text;
  for (int i = 0; i < 300; ++i) card.trace().add_dllp(ack_nak_dllp(dllp_ack, static_cast<uint16_t>(i)));
  text = card.describe();
  EXPECT_NE(text.find("\n     255            - -    Ack                        seq 253\n"
                      "  ... 46 more records (zamtrace --card lists them all)\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("     256 "), std::string::npos);
}

}  // namespace
}  // namespace zamsim
