// Trace records and the TLP/DLLP bytes the card records.
#include "card/trace.h"

#include <gtest/gtest.h>

namespace zamsim {
namespace {

using bytes = std::vector<uint8_t>;

TEST(TraceTest, ConfigRequestAndCompletionBytes) {
  // CfgRd1 of bus 3 device 2 function 1, register 0x104, tag 9, requester 00:00.0.
  EXPECT_EQ(config_request_tlp(false, true, bdf{3, 2, 1}, 0x104, 0xF, 0, 0, 9),
            (bytes{0x05, 0, 0, 1, 0, 0, 9, 0x0F, 3, 0x11, 0x01, 0x04}));
  // CfgWr0 with byte enables 0x5 and data 0x11223344 in configuration byte order.
  EXPECT_EQ(config_request_tlp(true, false, bdf{1, 0, 0}, 0x3C, 0x5, 0x11223344, 0x0100, 200),
            (bytes{0x44, 0, 0, 1, 0x01, 0x00, 200, 0x05, 1, 0, 0, 0x3C, 0x44, 0x33, 0x22, 0x11}));
  // CplD carrying vendor 0x8086 device 0x1234 from 02:00.0.
  EXPECT_EQ(config_completion_tlp(bdf{2, 0, 0}, 0, true, 0x12348086, 0, 7),
            (bytes{0x4A, 0, 0, 1, 0x02, 0x00, 0x00, 4, 0, 0, 7, 0, 0x86, 0x80, 0x34, 0x12}));
  // Unsupported request: Cpl without data, status 1 in bits 7..5 of byte 6.
  EXPECT_EQ(config_completion_tlp(bdf{2, 31, 7}, 1, false, 0, 0x0008, 1),
            (bytes{0x0A, 0, 0, 0, 0x02, 0xFF, 0x20, 4, 0x00, 0x08, 1, 0}));
}

TEST(TraceTest, DllpCrcCatchesEverySingleBitError) {
  const auto ack = ack_nak_dllp(dllp_ack, 0x123);
  ASSERT_EQ(ack.size(), 6u);
  EXPECT_EQ(ack[0], 0x00);
  EXPECT_EQ(ack[2], 0x01);
  EXPECT_EQ(ack[3], 0x23);
  EXPECT_NE(ack_nak_dllp(dllp_ack, 0x123), ack_nak_dllp(dllp_nak, 0x123));
  for (int bit = 0; bit < 32; ++bit) {
    bytes changed(ack.begin(), ack.begin() + 4);
    changed[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    uint8_t b4, b5;
    dllp_crc(changed.data(), b4, b5);
    EXPECT_TRUE(b4 != ack[4] || b5 != ack[5]) << "bit " << bit;
  }
}

TEST(TraceTest, RecordsAreMarkedSizedAndBounded) {
  trace_buffer trace(50);
  trace.add_tlp(config_request_tlp(false, false, bdf{1, 0, 0}, 0, 0xF, 0, 0, 0));
  trace.add_dllp(ack_nak_dllp(dllp_ack, 0));
  const bytes all = trace.bytes();
  ASSERT_EQ(all.size(), 8u + 12 + 8 + 8);
  EXPECT_EQ(bytes(all.begin(), all.begin() + 8), (bytes{0xF1, 0, 3, 0, 0, 0, 0, 0}));  // TLP, 3 words
  EXPECT_EQ(bytes(all.begin() + 20, all.begin() + 28), (bytes{0xF1, 3, 2, 0, 0, 0, 0, 0}));  // DLLP
  EXPECT_EQ(all[28], 0);      // payload byte 0 not interpreted
  EXPECT_EQ(all[29], 0x00);   // Ack type
  // A record that does not fit is dropped whole, never cut.
  trace.add_tlp(config_request_tlp(false, false, bdf{1, 0, 0}, 0, 0xF, 0, 0, 0));
  EXPECT_EQ(trace.size(), 36u);
  EXPECT_EQ(trace.dropped(), 1u);
  uint8_t first[10];
  EXPECT_EQ(trace.read(first, sizeof first), 10u);
  EXPECT_EQ(first[0], 0xF1);
  trace.clear();
  EXPECT_EQ(trace.size(), 0u);
  EXPECT_EQ(trace.dropped(), 0u);
}

}  // namespace
}  // namespace zamsim
