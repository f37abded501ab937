// Configuration access through the driver interface library: statuses, counts, raw reads
// and the window query.
#include <gtest/gtest.h>

#include "framework_fixture.h"

namespace {

class ConfigAccessTest : public vexo_test::FrameworkFixture {};

TEST_F(ConfigAccessTest, ReadsAndWritesReportStatusAndCount) {
  auto space = start_bytes();
  auto& bytes = space->add_function({1, 2, 3}, 0x1234, 0x5678);
  bytes[0xFFF] = 0x9C;
  VEXO_DEVICE_HANDLE_t dev = record_at(1, 2, 3);

  uint8_t buffer[8] = {};
  unsigned int length = 1;
  EXPECT_EQ(ReadConfigSpace(dev, buffer, 0xFFF, &length), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(length, 1u);
  EXPECT_EQ(buffer[0], 0x9C);

  // One byte past the end of the space: refused by the table, zeros and a zero count.
  buffer[0] = buffer[1] = 0x55;
  length = 2;
  EXPECT_EQ(ReadConfigSpace(dev, buffer, 0xFFF, &length), VEXO_STATUS_PCIE_CONFIG_READ_FAILED);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(buffer[0], 0x00);
  EXPECT_EQ(buffer[1], 0x00);

  const uint8_t value[3] = {0xA1, 0xB2, 0xC3};
  length = 3;
  EXPECT_EQ(WriteConfigSpace(dev, const_cast<uint8_t*>(value), 0x81, &length), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(bytes[0x82], 0xB2);
  length = 3;
  EXPECT_EQ(WriteConfigSpace(dev, const_cast<uint8_t*>(value), 4094, &length),
            VEXO_STATUS_PCIE_CONFIG_WRITE_FAILED);
  EXPECT_EQ(length, 0u);

  // The record's copy is not refreshed by these calls.
  uint8_t id[2] = {0x11, 0x22};
  length = 2;
  ASSERT_EQ(WriteConfigSpace(dev, id, 0, &length), VEXO_STATUS_SUCCESS);
  unsigned short vendor = 0;
  GetVendorID(dev, &vendor);
  EXPECT_EQ(vendor, 0x1234);

  // Raw reads of any function, no record needed.
  EXPECT_EQ(VEXO_ReadConfigSpace_Ex(1, 2, 3, 0x81, 3, buffer), 3u);
  EXPECT_EQ(buffer[2], 0xC3);

  // A driver that writes back a short count fails the read, whatever it delivered.
  faults->rewrite_answer(config_path, 0x222000, 16, 1);
  length = 2;
  EXPECT_EQ(ReadConfigSpace(dev, buffer, 0x81, &length), VEXO_STATUS_PCIE_CONFIG_READ_FAILED);
  EXPECT_EQ(length, 0u);
  // A refused write.
  faults->fail_requests(config_path, 0x222004, 31);
  length = 1;
  EXPECT_EQ(WriteConfigSpace(dev, id, 0x90, &length), VEXO_STATUS_PCIE_CONFIG_WRITE_FAILED);
  EXPECT_EQ(bytes[0x90], 0x00);

  PCI_CONFIG_SPACE_HEADER_t* header = reinterpret_cast<PCI_CONFIG_SPACE_HEADER_t*>(0x1);
  EXPECT_EQ(GetDevConfigSpace(dev, &header), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(header, reinterpret_cast<PCI_CONFIG_SPACE_HEADER_t*>(0x1));
  EXPECT_EQ(GetDevConfigPtr(dev, &header), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(header, nullptr);
  EXPECT_EQ(ReadConfigSpace(nullptr, buffer, 0, &length), VEXO_STATUS_INVALID_PARAMETER);
  CloseDevice(dev);
}

TEST_F(ConfigAccessTest, WindowQueryAnswersFromTheDriver) {
  start_bytes();
  uint64_t base = 0;
  uint8_t start_bus = 9, end_bus = 0;
  uint64_t length = 0;
  EXPECT_EQ(QueryAcpiMcfgTableInfo(&base, &start_bus, &end_bus, &length), 1);
  EXPECT_EQ(base, 0xE0000000u);
  EXPECT_EQ(start_bus, 0);
  EXPECT_EQ(end_bus, 255);
  EXPECT_EQ(length, 0x10000000u);
  faults->fail_requests(config_path, 0x22201C, 31);
  EXPECT_EQ(QueryAcpiMcfgTableInfo(&base, &start_bus, &end_bus, &length), 0);
  EXPECT_EQ(base, 0u);
  EXPECT_EQ(end_bus, 0);
}

}  // namespace

namespace {

TEST(EntryPointTableTest, DeviceAndConfigurationWordsPointAtTheirCalls) {
  VEXO_INTF_TABLE_t table{};
  ASSERT_EQ(VEXOGetIntf(&table), VEXO_STATUS_SUCCESS);
  using by_bdf = VEXO_STATUS_t (*)(unsigned char, unsigned char, unsigned char,
                                   VEXO_DEVICE_HANDLE_t*);
  using by_info = VEXO_STATUS_t (*)(VEXO_HANDLE_t, VEXO_DEVICE_HANDLE_t*, unsigned int,
                                    VEXO_DEVICE_FIND_INFO_t*);
  EXPECT_EQ(table.word[VEXO_INTF_OPEN_DEVICE], reinterpret_cast<uintptr_t>(&OpenDevice));
  EXPECT_EQ(table.word[VEXO_INTF_CLOSE_DEVICE], reinterpret_cast<uintptr_t>(&CloseDevice));
  EXPECT_EQ(table.word[VEXO_INTF_READ_CONFIG_SPACE], reinterpret_cast<uintptr_t>(&ReadConfigSpace));
  EXPECT_EQ(table.word[VEXO_INTF_WRITE_CONFIG_SPACE],
            reinterpret_cast<uintptr_t>(&WriteConfigSpace));
  EXPECT_EQ(table.word[VEXO_INTF_FIND_DEVICE_BY_BDF],
            reinterpret_cast<uintptr_t>(static_cast<by_bdf>(&FindDevice)));
  EXPECT_EQ(table.word[VEXO_INTF_FIND_DEVICE_BY_INFO],
            reinterpret_cast<uintptr_t>(static_cast<by_info>(&FindDevice)));
  EXPECT_EQ(table.word[VEXO_INTF_WRITE_DEVICE_STATUS_REG],
            reinterpret_cast<uintptr_t>(&WriteDeviceStatusReg));
  EXPECT_EQ(table.word[VEXO_INTF_ARM_ZAM], reinterpret_cast<uintptr_t>(&ArmZAM));
}

}  // namespace
