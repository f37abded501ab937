// Test fixture of the compliance skeleton: a DUT with a PCI Express capability in a fake
// configuration space, a fake card above it and an XML log, all in one test_run.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fake_tables.h"
#include "temp_folder.h"
#include "test_run.h"

namespace zam_test {

inline constexpr vexo_test::bdf dut_address{3, 0, 0};
inline constexpr uint32_t express_offset = 0x40;

class SkeletonTest : public ::testing::Test {
 protected:
  SkeletonTest();
  ~SkeletonTest() override;

  // A record of the function as discovery would make it from the fake space.
  VEXO_DEVICE_HANDLE_t record_of(const vexo_test::bdf& where);
  // Device Control, Device Status and Link Status of the DUT's PCI Express capability.
  void set_express_registers(uint16_t control, uint16_t status, uint16_t link_status = 0);
  // The log's text so far (the log stays open).
  std::string log_text() const;

  vexo_test::temp_folder folder;
  vexo_test::fake_config_space space;
  vexo_test::fake_card fake;
  zam::test_run run;
};

}  // namespace zam_test
