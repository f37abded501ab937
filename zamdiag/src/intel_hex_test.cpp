// The Intel Hex reader on its own: records handed over, skipped, refused, and stopped.
#include "intel_hex.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace zamdiag {
namespace {

using written = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;

// Reads the text, collecting the records; the sink refuses once `accept` records were taken.
hex_outcome read(std::string_view text, written& records, std::size_t accept = 100) {
  return read_intel_hex(text, [&](const code_record& r) {
    if (records.size() == accept) return false;
    records.emplace_back(r.address, std::vector<uint8_t>(r.data, r.data + r.length));
    return true;
  });
}

TEST(IntelHexTest, DataRecordsInOrderOtherTypesSkipped) {
  written records;
  // Lower-case digits, an extended-address record (type 4), an empty data record, the end
  // record, and text around the records.
  const hex_outcome outcome =
      read("junk\n:03123400aabbcc86\r\n:020000040000FA\n:0000000000::020010000102EB\n:00000001FF\n", records);
  EXPECT_EQ(outcome.fault, hex_fault::none);
  EXPECT_EQ(outcome.record, 5);
  EXPECT_EQ(records, (written{{0x1234, {0xAA, 0xBB, 0xCC}}, {0x0010, {0x01, 0x02}}}));

  records.clear();
  EXPECT_EQ(read("", records).record, 0);
  EXPECT_EQ(read("no records at all", records).fault, hex_fault::none);
  EXPECT_TRUE(records.empty());
}

TEST(IntelHexTest, FaultsNameTheRecordAndStopTheReading) {
  written records;
  // The second record's checksum is off by one.
  hex_outcome outcome = read(":0100000011EE\n:0100010022DB\n:0100020033CA\n", records);
  EXPECT_EQ(outcome.fault, hex_fault::checksum);
  EXPECT_EQ(outcome.record, 2);
  EXPECT_EQ(records.size(), 1u);

  records.clear();
  EXPECT_EQ(read(":11000000", records).fault, hex_fault::too_long);  // 17 bytes, nothing more read
  EXPECT_EQ(read(":0100000011", records).fault, hex_fault::truncated);  // no checksum
  EXPECT_EQ(read(":010000", records).fault, hex_fault::truncated);
  EXPECT_EQ(read(":01000000 1EE", records).fault, hex_fault::truncated);
  // A ":" inside a record ends it: the record before the colon is cut off.
  EXPECT_EQ(read(":01000:00011EE", records).fault, hex_fault::truncated);
  EXPECT_TRUE(records.empty());

  // The sink refuses the second record: the reading stops there.
  outcome = read(":0100000011EE\n:0100010022DC\n:0100020033CA\n", records, 1);
  EXPECT_EQ(outcome.fault, hex_fault::stopped);
  EXPECT_EQ(outcome.record, 2);
  EXPECT_EQ(records.size(), 1u);
}

}  // namespace
}  // namespace zamdiag
