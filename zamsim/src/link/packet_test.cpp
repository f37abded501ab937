// Link packets: the LCRC and DLLP CRC known answers, and DLLP type decoding.
#include "link/packet.h"

#include <gtest/gtest.h>

namespace zamsim {
namespace {

using bytes = std::vector<uint8_t>;

TEST(LinkPacketTest, KnownAnswers) {
  // An Ack with sequence number 0 carries CRC bytes B3 62.
  EXPECT_EQ(ack_nak_dllp(dllp_ack, 0), (bytes{0x00, 0x00, 0x00, 0x00, 0xB3, 0x62}));
  // The LCRC over sequence number 0 and a zero three-dword header: C7 79 BB D1 in link order.
  const uint32_t lcrc = tlp_lcrc(0, bytes(12, 0));
  EXPECT_EQ(lcrc & 0xFF, 0xC7u);
  EXPECT_EQ((lcrc >> 8) & 0xFF, 0x79u);
  EXPECT_EQ((lcrc >> 16) & 0xFF, 0xBBu);
  EXPECT_EQ(lcrc >> 24, 0xD1u);
}

TEST(LinkPacketTest, CrcsCoverSequenceNumberHeaderAndReservedBits) {
  const link_packet tlp = make_tlp(bytes{0x04, 0, 0, 1, 0, 0, 7, 0x0F, 3, 0, 0, 0}, 0x123);
  EXPECT_TRUE(lcrc_good(tlp));
  link_packet other_seq = tlp;
  other_seq.sequence = 0x124;
  EXPECT_FALSE(lcrc_good(other_seq));
  link_packet flipped = tlp;
  flipped.bytes[11] ^= 0x04;
  EXPECT_FALSE(lcrc_good(flipped));
  EXPECT_EQ(make_tlp(tlp.bytes, 0x1123).sequence, 0x123);  // 12 bits

  bytes ack = ack_nak_dllp(dllp_ack, 0x7FF);
  EXPECT_TRUE(dllp_crc_good(ack));
  ack[1] = 0xFF;  // a reserved byte: the CRC covers it
  EXPECT_FALSE(dllp_crc_good(ack));
  dllp_crc(ack.data(), ack[4], ack[5]);
  EXPECT_TRUE(dllp_crc_good(ack));
  EXPECT_FALSE(dllp_crc_good(bytes{0, 0, 0}));  // too short to be a DLLP
}

TEST(LinkPacketTest, DefinedDllpTypes) {
  for (uint8_t type : {0x00, 0x10, 0x20, 0x21, 0x23, 0x24, 0x30, 0x40, 0x47, 0x55, 0x60, 0x81, 0x97, 0xA0, 0xC3,
                       0xD0, 0xE7}) {
    EXPECT_TRUE(dllp_type_defined(type)) << int(type);
  }
  for (uint8_t type : {0x01, 0x08, 0x11, 0x22, 0x25, 0x31, 0x38, 0x70, 0xB0, 0xF0, 0xFF}) {
    EXPECT_FALSE(dllp_type_defined(type)) << int(type);
  }
  EXPECT_EQ(seq_add(4095, 1), 0);
  EXPECT_EQ(seq_distance(4094, 2), 4);
}

}  // namespace
}  // namespace zamsim
