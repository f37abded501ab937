// Capability lists built byte by byte: searches, multiple instances, MSI kinds, the
// first/next walk, GetCapabilityHeader and lists that loop.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework_fixture.h"

namespace {

using vexo_test::printed_by;

class CapabilityTest : public vexo_test::FrameworkFixture {
 protected:
  void SetUp() override { space = start_bytes(); }

  // A type 0 function at 4:0.0 whose PCI list starts at `first` (0: no list).
  std::vector<uint8_t>& function(uint8_t first) {
    auto& bytes = space->add_function({4, 0, 0}, 0x1234, 0x0004);
    if (first != 0) {
      bytes[0x06] = 0x10;
      bytes[0x34] = first;
    }
    return bytes;
  }
  static void pci_cap(std::vector<uint8_t>& bytes, uint32_t at, uint8_t id, uint8_t next) {
    bytes[at] = id;
    bytes[at + 1] = next;
  }
  static void extended_cap(std::vector<uint8_t>& bytes, uint32_t at, uint16_t id, uint32_t next) {
    const uint32_t header = id | (1u << 16) | (next << 20);
    std::memcpy(&bytes[at], &header, 4);
  }
  VEXO_DEVICE_HANDLE_t device() {
    if (dev == nullptr) dev = record_at(4, 0, 0);
    return dev;
  }
  // Forgets the record, so the next one copies the header anew.
  void fresh() {
    if (dev != nullptr) CloseDevice(dev);
    dev = nullptr;
  }
  void TearDown() override {
    if (dev != nullptr) CloseDevice(dev);
    FrameworkFixture::TearDown();
  }
  static VEXO_PCI_DEVICE_CAP_INFO_t info(VEXO_CAP_HANDLE_t cap) {
    VEXO_PCI_DEVICE_CAP_INFO_t result{};
    EXPECT_EQ(VEXO_QueryCapInfo(cap, &result), VEXO_STATUS_SUCCESS);
    return result;
  }

  std::shared_ptr<pellor::fake::byte_array_config_space> space;
  VEXO_DEVICE_HANDLE_t dev = nullptr;
};

// Everything printed must start with the prefix and end with the suffix (line numbers vary).
void expect_message(const std::string& printed, const std::string& prefix,
                    const std::string& suffix) {
  EXPECT_EQ(printed.rfind(prefix, 0), 0u) << printed;
  ASSERT_GE(printed.size(), suffix.size()) << printed;
  EXPECT_EQ(printed.substr(printed.size() - suffix.size()), suffix) << printed;
}

TEST_F(CapabilityTest, OneInstanceIsCopiedWithItsLength) {
  auto& bytes = function(0x40);
  pci_cap(bytes, 0x40, 0x01, 0x50);  // power management
  bytes[0x47] = 0x5A;                // last byte of the 8 copied
  bytes[0x48] = 0x77;                // not copied
  pci_cap(bytes, 0x50, 0x10, 0x00);  // PCI Express, endpoint
  bytes[0x52] = 0x02;
  bytes[0x60] = 0x12;  // link control (offset 0x10)
  bytes[0x73] = 0xA5;  // last of the 36 bytes
  extended_cap(bytes, 0x100, 0x0003, 0);
  bytes[0x104] = 0x11;

  PCI_POWER_MANAGEMENT_CAPABILITY_STRUCT pm{};
  VEXO_CAP_HANDLE_t cap = nullptr;
  ASSERT_EQ(GetPowerManagementCapability(device(), &pm, &cap), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(pm.id, 0x01);
  EXPECT_EQ(pm.data, 0x5A);
  unsigned int offset = 0;
  EXPECT_EQ(GetCapOffset(cap, &offset), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(offset, 0x40u);
  // List-search handles carry the device, offset and ID only.
  const VEXO_PCI_DEVICE_CAP_INFO_t found = info(cap);
  EXPECT_EQ(found.id, 0x01u);
  EXPECT_EQ(found.length, 0u);
  EXPECT_EQ(found.next, 0u);
  VEXO_FreeCapabilityHandle(cap);

  PCIE_CAPABILITY_STRUCT_t express{};
  ASSERT_EQ(GetPCIECapability(device(), &express, &cap), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(express.link_control, 0x12);
  EXPECT_EQ(express.root_status >> 24, 0xA5u);
  // Reads and writes relative to the capability.
  uint16_t control = 0;
  unsigned int length = 2;
  EXPECT_EQ(ReadCapability(cap, &control, 0x10, &length), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(control, 0x12);
  control = 0x0340;
  EXPECT_EQ(WriteCapability(cap, &control, 0x10, &length), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(space->bytes({4, 0, 0})[0x60], 0x40);
  EXPECT_EQ(space->bytes({4, 0, 0})[0x61], 0x03);
  VEXO_FreeCapabilityHandle(cap);

  PCIE_DEV_SERIAL_NUM_CAPABILITY_STRUCT serial{};
  ASSERT_EQ(GetDeviceSerialNumberCapability(device(), &serial, &cap), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(serial.serial_low, 0x11u);
  EXPECT_EQ(info(cap).offset, 0x100u);
  VEXO_FreeCapabilityHandle(cap);

  PCIE_ADV_ERR_REP_CAP_STRUCT_t aer{};
  EXPECT_EQ(GetAdvErrRepCapability(device(), &aer, &cap), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
  EXPECT_EQ(cap, nullptr);
  PCI_MSI_X_CAPABILITY_STRUCT_t msix{};
  EXPECT_EQ(GetMSIXCapability(device(), &msix, &cap), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
  // Refused IDs and a start beyond the PCI list.
  EXPECT_EQ(HelpGetPCICapability(device(), 0x03, 0, 1, nullptr, nullptr),
            VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);  // not in the list: never looked up
  pci_cap(bytes, 0x50, 0x10, 0x58);
  pci_cap(bytes, 0x58, 0x03, 0x00);
  EXPECT_EQ(HelpGetPCICapability(device(), 0x03, 0, 1, nullptr, nullptr),
            VEXO_STATUS_UNSUPPORTED_PARAMETER);
  const std::string printed = printed_by([&] {
    EXPECT_EQ(HelpGetPCICapability(device(), 0x01, 257, 1, nullptr, nullptr),
              VEXO_STATUS_INVALID_PARAMETER);
  });
  expect_message(printed, "****ERROR. [HelpGetPCICapability] file[VEXO/Source/vexo_config_cap_access] line[",
                 "] offset[257] provided by user for pci caps is outside of the legacy config space\n");
}

TEST_F(CapabilityTest, TwoExpressCapabilitiesReportAComplianceError) {
  auto& bytes = function(0x40);
  pci_cap(bytes, 0x40, 0x10, 0x80);
  pci_cap(bytes, 0x80, 0x10, 0x00);
  PCIE_CAPABILITY_STRUCT_t express;
  std::memset(&express, 0xAA, sizeof express);
  VEXO_CAP_HANDLE_t cap = nullptr;
  const std::string printed = printed_by([&] {
    EXPECT_EQ(GetPCIECapability(device(), &express, &cap),
              VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND);
  });
  EXPECT_EQ(printed,
            "[HelpGetPCICapability] : POSSIBLE COMPLIANCE ERROR. [2] instances of cap type[16] "
            "have been found\n");
  EXPECT_EQ(express.id, 0xAA);  // record untouched
  ASSERT_NE(cap, nullptr);
  EXPECT_EQ(info(cap).offset, 0x80u);  // the handle is the second instance
  VEXO_FreeCapabilityHandle(cap);

  // Without search-all the first one is taken.
  EXPECT_EQ(HelpGetPCICapability(device(), 0x10, 0, 0, &express, &cap), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info(cap).offset, 0x40u);
  EXPECT_EQ(express.id, 0x10);
  VEXO_FreeCapabilityHandle(cap);
}

TEST_F(CapabilityTest, TwoAdvancedErrorCapabilitiesGiveNoHandle) {
  auto& bytes = function(0x40);
  pci_cap(bytes, 0x40, 0x10, 0x00);
  extended_cap(bytes, 0x100, 0x0001, 0x140);
  extended_cap(bytes, 0x140, 0x0002, 0x180);
  extended_cap(bytes, 0x180, 0x0001, 0x000);
  PCIE_ADV_ERR_REP_CAP_STRUCT_t aer{};
  VEXO_CAP_HANDLE_t cap = reinterpret_cast<VEXO_CAP_HANDLE_t>(0x1);
  const std::string printed = printed_by([&] {
    EXPECT_EQ(GetAdvErrRepCapability(device(), &aer, &cap),
              VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND);
  });
  EXPECT_EQ(cap, nullptr);
  expect_message(printed, "****ERROR MULTI-INSTANCE CAP. file[HelpGetPCIECapability] line[",
                 "] file[VEXO/Source/vexo_config_cap_access] found [2 instances] of type[1] at "
                 "offset[384]\n");
  PCIE_VIRTUAL_CHANNEL_CAPABILITY_STRUCT_t vc{};
  EXPECT_EQ(GetDeviceVirtualChannelCapability(device(), &vc, &cap), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info(cap).offset, 0x140u);
  VEXO_FreeCapabilityHandle(cap);
}

TEST_F(CapabilityTest, MsiCallsCountTheirOwnKind) {
  auto& bytes = function(0x40);
  pci_cap(bytes, 0x40, 0x05, 0x50);  // 32-bit MSI
  bytes[0x44] = 0x32;
  pci_cap(bytes, 0x50, 0x01, 0x60);
  pci_cap(bytes, 0x60, 0x05, 0x00);  // 64-bit MSI
  bytes[0x62] = 0x80;
  bytes[0x64] = 0x64;

  PCI_MSI_CAPABILITY_32_STRUCT_t msi32{};
  VEXO_CAP_HANDLE_t cap = nullptr;
  ASSERT_EQ(Get32BitMSICapability(device(), &msi32, &cap), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(msi32.message_address, 0x32u);
  EXPECT_EQ(info(cap).offset, 0x40u);
  VEXO_FreeCapabilityHandle(cap);
  PCI_MSI_CAPABILITY_64_STRUCT_t msi64{};
  ASSERT_EQ(Get64BitMSICapability(device(), &msi64, &cap), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(msi64.message_address, 0x64u);
  EXPECT_EQ(msi64.message_control, 0x80);
  EXPECT_EQ(info(cap).offset, 0x60u);
  VEXO_FreeCapabilityHandle(cap);

  // A second 64-bit one; then no MSI at all.
  bytes[0x42] = 0x80;
  EXPECT_EQ(Get64BitMSICapability(device(), &msi64, nullptr),
            VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND);
  EXPECT_EQ(Get32BitMSICapability(device(), &msi32, nullptr), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
  bytes[0x40] = 0x01;
  bytes[0x60] = 0x01;
  EXPECT_EQ(Get32BitMSICapability(device(), &msi32, nullptr), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
}

TEST_F(CapabilityTest, FirstNextWalkCoversBothLists) {
  auto& bytes = function(0x41);  // low bits of the pointer are ignored
  pci_cap(bytes, 0x40, 0x10, 0x60);
  pci_cap(bytes, 0x60, 0x09, 0x71);  // vendor specific, 12 bytes by its own byte 2
  bytes[0x62] = 12;
  pci_cap(bytes, 0x70, 0x02, 0x00);  // refused ID: the PCI part ends here
  extended_cap(bytes, 0x100, 0x0001, 0x140);
  extended_cap(bytes, 0x140, 0x0003, 0x000);

  struct step { uint32_t offset, id, length, next; };
  const step expected[] = {{0x40, 0x10, 36, 0x60}, {0x60, 0x09, 12, 0x71},
                           {0x100, 0x0001, 60, 0x140}, {0x140, 0x0003, 12, 0}};
  VEXO_CAP_HANDLE_t cap = nullptr;
  ASSERT_EQ(GetFirstCapability(device(), &cap), VEXO_STATUS_SUCCESS);
  for (size_t i = 0;; ++i) {
    SCOPED_TRACE(i);
    const VEXO_PCI_DEVICE_CAP_INFO_t got = info(cap);
    EXPECT_EQ(got.offset, expected[i].offset);
    EXPECT_EQ(got.id, expected[i].id);
    EXPECT_EQ(got.length, expected[i].length);
    EXPECT_EQ(got.next, expected[i].next);
    VEXO_CAP_HANDLE_t next = reinterpret_cast<VEXO_CAP_HANDLE_t>(0x1);
    const VEXO_STATUS_t status = GetNextCapability(device(), &next, cap);
    VEXO_FreeCapabilityHandle(cap);
    if (i + 1 == std::size(expected)) {
      EXPECT_EQ(status, VEXO_STATUS_PCIE_NO_MORE_CAPS);
      EXPECT_EQ(next, nullptr);
      break;
    }
    ASSERT_EQ(status, VEXO_STATUS_SUCCESS);
    cap = next;
  }

  // ID 0x02 first: GetFirstCapability goes on with the extended list.
  bytes[0x34] = 0x70;
  pci_cap(bytes, 0x70, 0x02, 0x40);
  pci_cap(bytes, 0x40, 0x10, 0x00);
  fresh();
  ASSERT_EQ(GetFirstCapability(device(), &cap), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info(cap).offset, 0x100u);
  VEXO_FreeCapabilityHandle(cap);
}

TEST_F(CapabilityTest, WalkWithoutListsOrExpressCapability) {
  auto& bytes = function(0);  // Capabilities List bit clear
  bytes[0x34] = 0x40;
  pci_cap(bytes, 0x40, 0x10, 0x00);
  extended_cap(bytes, 0x100, 0x0001, 0);
  VEXO_CAP_HANDLE_t cap = nullptr;
  EXPECT_EQ(GetPCIECapability(device(), nullptr, &cap), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
  // Straight to the extended list, which needs the PCI Express capability.
  EXPECT_EQ(GetFirstCapability(device(), &cap), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(cap, nullptr);
  PCI_CAPABILITY_HEADER_t header{};
  EXPECT_EQ(GetCapabilityHeader(device(), &header, 0), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
  // A null previous handle is refused and the caller's output is cleared all the same.
  VEXO_CAP_HANDLE_t stale = reinterpret_cast<VEXO_CAP_HANDLE_t>(&header);
  EXPECT_EQ(GetNextCapability(device(), &stale, nullptr), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(stale, nullptr);
  stale = reinterpret_cast<VEXO_CAP_HANDLE_t>(&header);
  EXPECT_EQ(GetNextCapability(nullptr, &stale, nullptr), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(stale, nullptr);
}

TEST_F(CapabilityTest, CapabilityHeaderUsesTheLowByteOfTheOffset) {
  auto& bytes = function(0x50);
  pci_cap(bytes, 0x40, 0x05, 0x50);
  pci_cap(bytes, 0x50, 0x01, 0x00);
  PCI_CAPABILITY_HEADER_t header{};
  std::string printed = printed_by(
      [&] { EXPECT_EQ(GetCapabilityHeader(device(), &header, 0x140), VEXO_STATUS_SUCCESS); });
  EXPECT_EQ(printed,
            "Capability Pointer 0x40 \nCapability TYPE = 0x05 \nNext capability Offset : 0x50\n");
  EXPECT_EQ(header.id, 0x05);
  printed = printed_by(
      [&] { EXPECT_EQ(GetCapabilityHeader(device(), &header, 0), VEXO_STATUS_SUCCESS); });
  EXPECT_EQ(printed,
            "Capability Pointer 0x50 \nCapability TYPE = 0x01 \nNext capability Offset : 0x00\n");
  printed = printed_by([&] {
    EXPECT_EQ(GetCapabilityHeader(device(), &header, 0x3C), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
  });
  EXPECT_EQ(printed, "Capability Pointer 0x3C \n");
}

TEST_F(CapabilityTest, ListsThatLoopAreRefused) {
  auto& bytes = function(0x40);
  pci_cap(bytes, 0x40, 0x10, 0x50);
  pci_cap(bytes, 0x50, 0x01, 0x40);  // back to the first
  extended_cap(bytes, 0x100, 0x0001, 0x140);
  extended_cap(bytes, 0x140, 0x0002, 0x100);  // back to the first

  std::string printed = printed_by([&] {
    EXPECT_EQ(HelpGetPCICapability(device(), 0x05, 0, 1, nullptr, nullptr),
              VEXO_STATUS_INVALID_PARAMETER);
  });
  expect_message(printed, "[HelpGetPCICapability] file[VEXO/Source/vexo_config_cap_access] line[",
                 "] next cap pointer[64] points to a capability already visited\n");
  printed = printed_by([&] {
    EXPECT_EQ(GetPowerBudgetingCapability(device(), nullptr, nullptr),
              VEXO_STATUS_INVALID_PARAMETER);
  });
  expect_message(printed, "[HelpGetPCIECapability] file[VEXO/Source/vexo_config_cap_access] line[",
                 "] next_cap_offset[256] points to a capability already visited\n");

  // A pointer to itself.
  pci_cap(bytes, 0x50, 0x01, 0x50);
  EXPECT_EQ(HelpGetPCICapability(device(), 0x05, 0, 1, nullptr, nullptr),
            VEXO_STATUS_INVALID_PARAMETER);

  // The MSI walk runs one search per instance; two MSI capabilities pointing at each other.
  pci_cap(bytes, 0x40, 0x05, 0x50);
  pci_cap(bytes, 0x50, 0x05, 0x40);
  printed_by([&] {
    EXPECT_EQ(Get32BitMSICapability(device(), nullptr, nullptr), VEXO_STATUS_INVALID_PARAMETER);
  });

  // The first/next walk refuses an extended capability that points at itself.
  pci_cap(bytes, 0x40, 0x10, 0x00);
  extended_cap(bytes, 0x100, 0x0001, 0x100);
  VEXO_CAP_HANDLE_t cap = nullptr;
  VEXO_CAP_HANDLE_t next = nullptr;
  ASSERT_EQ(GetFirstCapability(device(), &cap), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(GetNextCapability(device(), &next, cap), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info(next).offset, 0x100u);
  VEXO_CAP_HANDLE_t after = nullptr;
  EXPECT_EQ(GetNextCapability(device(), &after, next), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(after, nullptr);
  VEXO_FreeCapabilityHandle(cap);
  VEXO_FreeCapabilityHandle(next);
}

TEST_F(CapabilityTest, FailedReadsEndTheSearch) {
  auto& bytes = function(0x40);
  pci_cap(bytes, 0x40, 0x10, 0x00);
  extended_cap(bytes, 0x100, 0x0001, 0);
  device();
  faults->fail_requests(config_path, 0x222000, 31);
  VEXO_CAP_HANDLE_t cap = nullptr;
  const std::string printed = printed_by([&] {
    EXPECT_EQ(GetPCIECapability(device(), nullptr, &cap), VEXO_STATUS_PCIE_CONFIG_READ_FAILED);
  });
  expect_message(printed, "**ERROR***:[HelpGetPCICapability] file[VEXO/Source/vexo_config_cap_access] line[",
                 "] reading config space at offset[64] length[2] failed\n");
  EXPECT_EQ(cap, nullptr);
  EXPECT_EQ(GetAdvErrRepCapability(device(), nullptr, &cap), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
}

}  // namespace
