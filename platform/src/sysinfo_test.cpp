// Machine facts read from the running system are plausible and self-consistent.
#include "platform/sysinfo.h"

#include <gtest/gtest.h>

namespace {

TEST(SysinfoTest, FactsOfTheRunningMachineAreConsistent) {
  const platform::machine_facts facts = platform::read_machine_facts();
  EXPECT_GE(facts.processor_count, 1u);
  EXPECT_GE(facts.page_size, 4096u);
  EXPECT_EQ(facts.page_size & (facts.page_size - 1), 0u) << "page size is a power of two";
  EXPECT_GT(facts.physical_total_bytes, 0u);
  EXPECT_LE(facts.physical_available_bytes, facts.physical_total_bytes);
  EXPECT_GT(facts.virtual_total_bytes, 0u);
  EXPECT_LT(facts.virtual_available_bytes, facts.virtual_total_bytes);
#if defined(__x86_64__)
  EXPECT_EQ(facts.architecture, platform::processor_architecture::x86_64);
#endif
}

}  // namespace
