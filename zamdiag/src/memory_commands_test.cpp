// Memory reads, dumps and writes: the exact requests and the dump lines.
#include "memory_commands.h"

#include "zamdiag_fixture.h"

namespace zamdiag::testing {
namespace {

TEST_F(ZamdiagTest, ReadDumpsSixteenBytesALine) {
  for (int i = 0; i < 0x40; ++i) card_.xdata[0x100 + i] = static_cast<uint8_t>(i);
  EXPECT_EQ(zamdiag({"-r", "0x100"}), 0);
  EXPECT_EQ(out_.str(), "0100 00 \n");
  ASSERT_EQ(card_.requests.size(), 1u);
  EXPECT_EQ(card_.requests[0].code, 0x222059u);
  EXPECT_EQ(card_.requests[0].in, (std::vector<uint8_t>{1, 2, 0, 0, 0xA3, 0, 0x00, 0x01, 0, 0}));
  EXPECT_EQ(card_.requests[0].out_capacity, 1u);

  EXPECT_EQ(zamdiag({"-r", "0x100", "0x40"}), 0);
  EXPECT_EQ(out_.str(),
            "0100 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"
            "0110 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F \n"
            "0120 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F \n"
            "0130 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F \n");

  // A partial last line, a 32-bit FLASH address split into value and index, 1024 at most.
  card_.flash[0x210010] = 0xAB;
  EXPECT_EQ(zamdiag({"-f", "0x210010", "18"}), 0);
  EXPECT_EQ(card_.requests[0].in, (std::vector<uint8_t>{1, 2, 0, 0, 0xAB, 0, 0x10, 0x00, 0x21, 0x00}));
  EXPECT_EQ(out_.str(),
            "210010 AB FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \n"
            "210020 FF FF \n");
  EXPECT_EQ(zamdiag({"-e", "0", "5000"}), -1);
  EXPECT_EQ(err_.str(), "count out of range (at most 1024, one request): 5000\n");
  EXPECT_TRUE(card_.requests.empty());
  EXPECT_EQ(zamdiag({"-e", "0", "1024"}), 0);
  EXPECT_EQ(card_.requests[0].out_capacity, 1024u);
  const std::string dump = out_.str();
  EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 64);
  EXPECT_EQ(dump.substr(dump.size() - 54), "03F0 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \n");
}

TEST_F(ZamdiagTest, WriteSendsAllValuesInOneRequest) {
  EXPECT_EQ(zamdiag({"-w", "0x1234", "1", "0x22", "033"}), 0);
  EXPECT_EQ(out_.str(), "");
  ASSERT_EQ(card_.requests.size(), 1u);
  EXPECT_EQ(card_.requests[0].in, (std::vector<uint8_t>{0, 2, 0, 0, 0xA3, 0, 0x34, 0x12, 0, 0}));
  EXPECT_EQ(card_.requests[0].out_capacity, 3u);
  EXPECT_EQ(card_.requests[0].sent, (std::vector<uint8_t>{1, 0x22, 033}));
  EXPECT_EQ(card_.xdata[0x1236], 033);
  EXPECT_EQ(zamdiag({"-D", "0x10", "9"}), 0);
  EXPECT_EQ(card_.idata[0x10], 9);
  EXPECT_EQ(zamdiag({"-I", "0x53", "0xF9", "0xFF"}), 0);
  EXPECT_EQ(card_.boot_mode_registers[1], 0xFF);
}

TEST_F(ZamdiagTest, FailedRequestsSayIoctlFailedAndEndWithAFailure) {
  // I2C addresses other than 0x53 do not answer.
  EXPECT_EQ(zamdiag({"-i", "0x50"}), -1);
  EXPECT_EQ(err_.str(), "ioctl failed\n");
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(zamdiag({"-I", "0x50", "1"}), -1);
  EXPECT_EQ(err_.str(), "ioctl failed\n");
  EXPECT_EQ(zamdiag({"-r", "0xFFFF", "2"}), -1);
  EXPECT_EQ(out_.str(), "");
}

TEST_F(ZamdiagTest, BulkPipesUseTheirPipeNumberAndABoundedWait) {
  card_.pipe_in.push_back({0xDE, 0xAD, 0xBE, 0xEF});
  EXPECT_EQ(zamdiag({"-b", "1", "12"}), 0);
  EXPECT_EQ(out_.str(), "0001 DE AD BE EF \n");
  ASSERT_EQ(card_.requests.size(), 1u);
  EXPECT_EQ(card_.requests[0].code, 0x22204Eu);
  EXPECT_EQ(card_.requests[0].in, (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(card_.requests[0].out_capacity, 12u);
  EXPECT_EQ(card_.requests[0].timeout_ms, 5000u);

  // Nothing pending: the read ends after its time-out instead of waiting for ever.
  EXPECT_EQ(zamdiag({"-b", "1", "12"}), -1);
  EXPECT_EQ(err_.str(), "ioctl failed\nnothing arrived on pipe 1 within 5000 ms\n");

  EXPECT_EQ(zamdiag({"-B", "0", "1", "2", "3"}), 0);
  EXPECT_EQ(card_.requests[0].code, 0x222051u);
  EXPECT_EQ(card_.requests[0].in, (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(card_.requests[0].sent, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(card_.pipe_out[0], (std::vector<std::vector<uint8_t>>{{1, 2, 3}}));
}

}  // namespace
}  // namespace zamdiag::testing
