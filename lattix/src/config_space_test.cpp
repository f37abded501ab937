// Tests of per-byte register semantics: masks, RW1C, write-once, groups, resets, templates.
#include "lattix/config_space.h"

#include <gtest/gtest.h>

TEST(ConfigSpaceTest, WriteMaskAndRw1c) {
  configSpace space(1);
  // Vendor ID is read-only.
  space.write(0x00, 1, 0xFF);
  EXPECT_EQ(space.read(0x00, 1), 0u);
  // Command register: only 0x47 / 0x05 open.
  space.write(0x04, 2, 0xFFFF);
  EXPECT_EQ(space.read(0x04, 2), 0x0547u);
  // Status error bits are RW1C: 1 clears a set bit, 0 leaves it.
  space.statusWrite(0x07, 1, 0xF9);
  space.write(0x07, 1, 0x00);
  EXPECT_EQ(space.read(0x07, 1), 0xF9u);
  space.write(0x07, 1, 0x08);
  EXPECT_EQ(space.read(0x07, 1), 0xF1u);
  // Status low byte keeps the capabilities bit.
  EXPECT_EQ(space.read(0x06, 2), 0xF110u);
  // Device status: RW1C 0x0F inside writable 0x1F; bit 4 written normally.
  space.statusWrite(0x4A, 1, 0x0F);
  space.write(0x4A, 1, 0x13);
  EXPECT_EQ(space.read(0x4A, 1), 0x1Cu);
}

TEST(ConfigSpaceTest, WriteOnceUntilReset) {
  configSpace space(1);
  space.write(0x4F, 1, 0x12);
  space.write(0x4F, 1, 0x34);
  EXPECT_EQ(space.read(0x4F, 1), 0x12u);
  space.hotReset();
  EXPECT_EQ(space.read(0x4F, 1), 0x00u);
  space.write(0x4F, 1, 0x56);
  EXPECT_EQ(space.read(0x4F, 1), 0x56u);
  space.write(0x4F, 1, 0x78);
  space.coldReset();
  space.write(0x4F, 1, 0x9A);
  EXPECT_EQ(space.read(0x4F, 1), 0x9Au);
  // Write-once bits of 0x43 lock even when the write changed nothing.
  space.write(0x43, 1, 0x00);
  space.write(0x43, 1, 0x01);
  EXPECT_EQ(space.read(0x43, 1), 0x00u);
}

TEST(ConfigSpaceTest, StickyBitsSurviveHotResetOnly) {
  configSpace space(1);
  space.write(0x59, 1, 0x01);  // PME enable, sticky
  space.write(0x58, 1, 0x03);  // power state, not sticky
  space.write(0x3C, 1, 0x0B);  // interrupt line
  space.hotReset();
  EXPECT_EQ(space.read(0x59, 1), 0x01u);
  EXPECT_EQ(space.read(0x58, 1), 0x00u);
  EXPECT_EQ(space.read(0x3C, 1), 0x00u);
  space.coldReset();
  EXPECT_EQ(space.read(0x59, 1), 0x00u);
}

TEST(ConfigSpaceTest, TemplatesDifferWhereTheyShould) {
  configSpace endpoint(1);
  configSpace bridge(2);
  configSpace upstream(3);
  configSpace downstream(4);
  EXPECT_EQ(endpoint.read(0x08, 4), 0xFFFF0000u);
  EXPECT_EQ(bridge.read(0x08, 4), 0x06040000u);
  EXPECT_EQ(endpoint.read(0x0E, 1), 0x80u);
  EXPECT_EQ(bridge.read(0x0E, 1), 0x81u);
  EXPECT_EQ(endpoint.read(0x42, 2), 0x0001u);
  EXPECT_EQ(bridge.read(0x42, 2), 0x0051u);
  EXPECT_EQ(upstream.read(0x42, 2), 0x0051u);
  EXPECT_EQ(downstream.read(0x42, 2), 0x0061u);
  EXPECT_EQ(endpoint.read(0x54, 4), 0x00020001u);
  EXPECT_EQ(bridge.read(0x54, 4), 0xC8020001u);
  EXPECT_EQ(bridge.read(0x18, 4), 0x00FF0000u);
  EXPECT_EQ(bridge.read(0x24, 4), 0x00010001u);
  EXPECT_EQ(endpoint.read(0x48, 2), 0x2810u);
  EXPECT_EQ(endpoint.read(0x4C, 4), 0x00005C11u);
  EXPECT_EQ(endpoint.read(0x40, 2), 0x5410u);
  EXPECT_EQ(endpoint.read(0x34, 1), 0x40u);
  // Link control: endpoint 0xDB, bridge 0xD3.
  endpoint.write(0x50, 1, 0xFF);
  bridge.write(0x50, 1, 0xFF);
  EXPECT_EQ(endpoint.read(0x50, 1), 0xDBu);
  EXPECT_EQ(bridge.read(0x50, 1), 0xD3u);
  // Bridge windows and bus numbers.
  bridge.write(0x18, 4, 0xFFFFFFFF);
  EXPECT_EQ(bridge.read(0x18, 4), 0x00FFFFFFu);
  bridge.write(0x1C, 2, 0xFFFF);
  EXPECT_EQ(bridge.read(0x1C, 2), 0xF0F0u);
  bridge.write(0x20, 4, 0xFFFFFFFF);
  EXPECT_EQ(bridge.read(0x20, 4), 0xFFF0FFF0u);
  bridge.write(0x24, 4, 0xFFFFFFFF);
  EXPECT_EQ(bridge.read(0x24, 4), 0xFFF1FFF1u);
  bridge.write(0x3E, 1, 0xFF);
  EXPECT_EQ(bridge.read(0x3E, 1), 0x5Fu);
  endpoint.write(0x18, 4, 0xFFFFFFFF);
  EXPECT_EQ(endpoint.read(0x18, 4), 0u);
  // Unnamed bytes stay writable; the empty extended header does not.
  endpoint.write(0x200, 1, 0xA5);
  EXPECT_EQ(endpoint.read(0x200, 1), 0xA5u);
  endpoint.write(0x100, 4, 0xFFFFFFFF);
  EXPECT_EQ(endpoint.read(0x100, 4), 0u);
  // Unknown kinds are blank; a blank space is all writable.
  configSpace blank(9);
  blank.write(0x00, 4, 0x12345678);
  EXPECT_EQ(blank.read(0x00, 4), 0x12345678u);
}

TEST(ConfigSpaceTest, ValueGroupsAcceptOnlyListedValuesWrittenWhole) {
  configSpace space(1);
  EXPECT_FALSE(space.hasGroups());
  const size_t plain = space.memoryUsage();
  const uint32_t allowed[] = {0x1, 0x3};
  // Interrupt line bits 0..3 as a group.
  ASSERT_TRUE(space.addGroup(0x3C * 8, 0x3C * 8 + 3, allowed, 2));
  EXPECT_TRUE(space.hasGroups());
  EXPECT_GT(space.memoryUsage(), plain);
  space.write(0x3C, 1, 0x31);
  EXPECT_EQ(space.read(0x3C, 1), 0x31u);
  space.write(0x3C, 1, 0x52);  // 2 not allowed: group keeps 1, other bits written
  EXPECT_EQ(space.read(0x3C, 1), 0x51u);
  space.write(0x3C, 4, 0x00000003);
  EXPECT_EQ(space.read(0x3C, 1), 0x03u);
  // A group that crosses into the next byte is refused when written one byte at a time.
  const uint32_t wide[] = {0x1FF};
  ASSERT_TRUE(space.addGroup(0x200 * 8 + 4, 0x201 * 8 + 4, wide, 1));
  space.write(0x200, 1, 0xFF);
  EXPECT_EQ(space.read(0x200, 1), 0x0Fu);
  space.write(0x201, 1, 0xFF);  // continuation bits alone are refused
  EXPECT_EQ(space.read(0x201, 1), 0xE0u);
  space.write(0x200, 2, 0x1FF0);
  EXPECT_EQ(space.read(0x200, 2), 0x1FF0u);
  // Invalid and overlapping groups are refused.
  EXPECT_FALSE(space.addGroup(0x3C * 8 + 2, 0x3C * 8 + 5, allowed, 2));
  EXPECT_FALSE(space.addGroup(10, 9, allowed, 2));
  EXPECT_FALSE(space.addGroup(0, 40, allowed, 2));
  EXPECT_FALSE(space.addGroup(configSpace::kBits - 1, configSpace::kBits, allowed, 1));
  // Copies carry their groups.
  configSpace copy(space);
  copy.write(0x3C, 1, 0x02);
  EXPECT_EQ(copy.read(0x3C, 1), 0x03u);
}
