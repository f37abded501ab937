// The free address space read from /proc follows what the process reserves.
#include "platform/sysinfo.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(SysinfoTest, FreeAddressSpaceShrinksWhenTheProcessReservesMore) {
  const uint64_t before = platform::read_machine_facts().virtual_available_bytes;
  // 64 MiB, larger than any allocator cache; reserving is enough, no need to touch it.
  std::unique_ptr<char[]> block(new char[64u << 20]);
  block[0] = 1;
  const uint64_t after = platform::read_machine_facts().virtual_available_bytes;
  EXPECT_LE(after + (32u << 20), before);
  EXPECT_EQ(block[0], 1);
}

}  // namespace
