// The boot image reader on its own: pieces of records, the end marker, cut images, a stop.
#include "boot_image.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace zamdiag {
namespace {

using written = std::vector<std::pair<uint32_t, std::size_t>>;  // address and length of each piece

boot_fault read(const std::vector<uint8_t>& bytes, written& pieces, std::size_t accept = 1000) {
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  return read_boot_image(in, [&](const code_record& r) {
    if (pieces.size() == accept) return false;
    pieces.emplace_back(r.address, r.length);
    return true;
  });
}

const std::vector<uint8_t> header = {0xC2, 0x47, 0x05, 0x10, 0x21, 0x00, 0x00, 0x00};

std::vector<uint8_t> image(std::vector<uint8_t> records) {
  records.insert(records.begin(), header.begin(), header.end());
  return records;
}

TEST(BootImageTest, RecordsInPiecesUntilTheEndMarker) {
  // 0x7FFF bytes at 0xFF00 (the largest record), then the end marker and bytes after it.
  std::vector<uint8_t> records = {0x7F, 0xFF, 0xFF, 0x00};
  records.resize(records.size() + 0x7FFF, 0x5A);
  records.insert(records.end(), {0x00, 0x01, 0x00, 0x10, 0x99, 0x80, 0x01, 0xE6, 0x00, 0x00, 0x00, 0x03});
  written pieces;
  EXPECT_EQ(read(image(records), pieces), boot_fault::none);
  ASSERT_EQ(pieces.size(), 129u + 1u);  // 32767 = 128 * 255 + 127
  EXPECT_EQ(pieces[1], (std::pair<uint32_t, std::size_t>{0xFFFF, 255}));
  EXPECT_EQ(pieces[128], (std::pair<uint32_t, std::size_t>{0xFF00 + 128 * 255, 127}));
  EXPECT_EQ(pieces[129], (std::pair<uint32_t, std::size_t>{0x0010, 1}));

  // The end of the stream between records ends the image too; an empty record writes nothing.
  pieces.clear();
  EXPECT_EQ(read(image({0x00, 0x00, 0x12, 0x34}), pieces), boot_fault::none);
  EXPECT_EQ(read(header, pieces), boot_fault::none);
  EXPECT_TRUE(pieces.empty());
}

TEST(BootImageTest, CutImagesWrongHeadersAndAStoppedSink) {
  written pieces;
  EXPECT_EQ(read({}, pieces), boot_fault::bad_format);
  EXPECT_EQ(read({0xC2, 0, 0, 0, 0, 0, 0}, pieces), boot_fault::bad_format);
  EXPECT_EQ(read({0xC0, 0, 0, 0, 0, 0, 0, 0}, pieces), boot_fault::bad_format);
  EXPECT_EQ(read(image({0x00, 0x02, 0x00}), pieces), boot_fault::bad_format);  // record head cut
  // A record cut off is never handed over, not even in part.
  std::vector<uint8_t> cut = {0x01, 0x00, 0x00, 0x00};
  cut.resize(4 + 0xFF, 1);
  EXPECT_EQ(read(image(cut), pieces), boot_fault::bad_format);
  EXPECT_TRUE(pieces.empty());

  EXPECT_EQ(read(image({0x00, 0x01, 0x00, 0x00, 0x11, 0x00, 0x01, 0x00, 0x01, 0x22}), pieces, 1),
            boot_fault::stopped);
  EXPECT_EQ(pieces, (written{{0x0000, 1}}));
}

}  // namespace
}  // namespace zamdiag
