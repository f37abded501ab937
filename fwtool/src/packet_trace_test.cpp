// Packet texts of the trace, and the first-response behaviours applied to completions.
#include "packet_trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "first_response.h"
#include "lattix/packet_handler.h"
#include "run_settings.h"

namespace {

const uint32_t cfg_rd0[3] = {0x04000001u, 0x0000010Fu, 0x00180010u};  // 00:03.0 reg 0x10
const uint32_t cfg_wr1[4] = {0x45000001u, 0x00000203u, 0x02080104u, 0xAABBCCDDu};
const uint32_t cpld[4] = {0x4A000001u, 0x00180004u, 0x00000100u, 0xFFFFFFF0u};

TEST(PacketTraceTest, DecodedTexts) {
  EXPECT_EQ(fwtool::packet_text(cfg_rd0, 0),
            "CONF0 \tTag: 0x01 \tReg: 0x10 \tExtReg: 0x0 \tB:D:F \t0:3:0 \tFirstBE:0xf \t\n");
  EXPECT_EQ(fwtool::packet_text(cfg_wr1, 0),
            "CONF1 \tTag: 0x02 \tReg: 0x04 \tExtReg: 0x1 \tB:D:F \t2:1:0 \tFirstBE:0x3 \tData: 0xaabbccdd\n");
  EXPECT_EQ(fwtool::packet_text(cpld, 2),
            "COMPL \tTag: 0x01 \tStatus: SC \tCompleter ID: 0x0018 \tData: 0xfffffff0 \t\n");
  const uint32_t crs[3] = {0x0A000000u, 0x00184004u, 0x00000100u};
  EXPECT_EQ(fwtool::packet_text(crs, 0), "COMPL \tTag: 0x01 \tStatus: CRS \tCompleter ID: 0x0018 \t\n");
  const uint32_t odd_status[3] = {0x0A000000u, 0x0018E004u, 0x00000100u};
  EXPECT_EQ(fwtool::packet_text(odd_status, 0), "COMPL \tTag: 0x01 \tStatus:  \tCompleter ID: 0x0018 \t\n");
  const uint32_t message[4] = {0x34000000u, 0x00000033u, 0, 0};
  EXPECT_EQ(fwtool::packet_text(message, 0), "Error - Fatal Message/t\n");
  const uint32_t invalid[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  EXPECT_EQ(fwtool::packet_text(invalid, 0), "/t\n");
  const uint32_t io[3] = {0x02000001u, 0x0000010Fu, 0x00000CF8u};
  EXPECT_EQ(fwtool::packet_text(io, 0), "IO \t\n");
}

TEST(PacketTraceTest, RawTextsPrintThreeWordsAndATabOrFourWords) {
  EXPECT_EQ(fwtool::packet_text(cfg_rd0, 1), "\t0x04000001\t0x0000010f\t0x00180010\t\n");
  EXPECT_EQ(fwtool::packet_text(cfg_wr1, 1), "\t0x45000001\t0x00000203\t0x02080104\t0xaabbccdd\n");
  EXPECT_EQ(fwtool::packet_text(cpld, 1), "\t0x4a000001\t0x00180004\t0x00000100\t0xfffffff0\n");
}

// A completion the engine allocated, as the run loop receives it.
uint32_t* engine_completion(bool with_data) {
  // Allocated as the engine does, so that releaseCompletion frees it.
  return new uint32_t[4]{with_data ? 0x4A000001u : 0x0A000000u, 0x00182004u, 0x00000100u, 0x12345678u};
}

TEST(FirstResponseTest, EachBehaviourAltersTheRightCompletions) {
  using namespace fwtool;
  for (uint32_t behaviour = normal_response; behaviour <= drop_all; ++behaviour) {
    for (bool first : {true, false}) {
      uint32_t* c = apply_first_response(behaviour, first, engine_completion(true));
      const bool applies = first ? behaviour != normal_response
                                 : behaviour == crs_all || behaviour == invalid_all || behaviour == drop_all;
      SCOPED_TRACE(testing::Message() << "behaviour " << behaviour << " first " << first);
      if (!applies) {
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c[0], 0x4A000001u);
        EXPECT_EQ(completion_length(c), 16u);
      } else if (behaviour == crs_first || behaviour == crs_all) {
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c[0], 0x0A000001u);  // no data
        EXPECT_EQ(c[1], 0x00184004u);  // status 2 replaces status 1
        EXPECT_EQ(completion_length(c), 12u);
      } else if (behaviour == invalid_first || behaviour == invalid_all) {
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c[0], 0xFFFFFFFFu);
        EXPECT_EQ(c[2], 0xFFFFFFFFu);
        EXPECT_EQ(c[3], 0x12345678u);
        EXPECT_EQ(completion_length(c), 12u);
      } else {
        EXPECT_EQ(c, nullptr);  // dropped and released (the sanitizer build checks the release)
      }
      releaseCompletion(c);
    }
  }
  EXPECT_EQ(apply_first_response(crs_first, true, nullptr), nullptr);
}

}  // namespace
