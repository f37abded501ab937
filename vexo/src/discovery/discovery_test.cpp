// Discovery over a Lattix hierarchy and over byte-built spaces: lookups, scan rules, parents.
#include <gtest/gtest.h>

// The fixture first: it brings the driver library's table declarations before vexo.h.
#include "framework_fixture.h"

#include "device/device_record.h"
#include "startup/framework_handle.h"

namespace {

using pellor::fake::function_address;

// Root port 0:0.0 above a switch (upstream port 1:0.0, downstream ports 2:0.0 and 2:1.0);
// a two-function endpoint 3:0.0 / 3:0.1 below the first downstream port.
constexpr const char* hierarchy_script = R"([Device 0 Function 0]
VENDORID = 0x8086
DEVICEID = 0x0100
Bridge = 1,
[Device 1 Function 0]
DeviceType = PCIExpressSwitch
VENDORID = 0xAB12
DEVICEID = 0x0001
NumberPorts = 2
Bridge.2 = 3,
[Device 3 Function 0]
VENDORID = 0x1234
DEVICEID = 0x5678
MSI_32.offset = 0x60
ADV_ERR.offset = 0x100
[Device 3 Function 1]
VENDORID = 0x1234
DEVICEID = 0x5679
)";

struct bdf {
  unsigned char bus, device, function;
  friend bool operator==(const bdf&, const bdf&) = default;
};

bdf where(VEXO_DEVICE_HANDLE_t dev) {
  bdf at{0xEE, 0xEE, 0xEE};
  EXPECT_EQ(VEXO_GetDeviceProperties(dev, &at.bus, &at.device, &at.function, nullptr, nullptr),
            VEXO_STATUS_SUCCESS);
  return at;
}

class DiscoveryTest : public vexo_test::FrameworkFixture {
 protected:
  void start_hierarchy() {
    station = start_lattix(hierarchy_script);
    station->set_port_type({0, 0, 0}, VEXO_DEV_ROOT_PORT);
    station->set_port_type({2, 0, 0}, VEXO_DEV_SWITCH_DOWNSTREAM_PORT);
    station->set_port_type({2, 1, 0}, VEXO_DEV_SWITCH_DOWNSTREAM_PORT);
  }
  std::shared_ptr<vexo_test::lattix_station> station;
};

TEST_F(DiscoveryTest, LookupsByIdsPositionAndRecordFields) {
  start_hierarchy();
  VEXO_DEVICE_HANDLE_t dev = nullptr;
  ASSERT_EQ(FindDevice(static_cast<unsigned short>(0x5679), static_cast<unsigned short>(0x1234),
                       &dev),
            VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{3, 0, 1}));
  unsigned short id = 0;
  EXPECT_EQ(GetVendorID(dev, &id), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(id, 0x1234);
  EXPECT_EQ(GetDeviceID(dev, &id), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(id, 0x5679);
  unsigned char header = 0;
  EXPECT_EQ(GetHeaderType(dev, &header), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(header, 0x80);  // multi-function bit kept
  int multi = -1;
  EXPECT_EQ(IsMultiFunction(dev, &multi), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(multi, 1);
  const auto* record = vexo::record_from_handle(dev);
  for (uint32_t i = 64; i < vexo::config_copy_size; ++i) ASSERT_EQ(record->config[i], 0) << i;
  EXPECT_EQ(CloseDevice(dev), VEXO_STATUS_SUCCESS);

  // Function 0 reports 0 although the device has a second function.
  dev = record_at(3, 0, 0);
  EXPECT_EQ(IsMultiFunction(dev, &multi), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(multi, 0);
  CloseDevice(dev);

  // IDs and position must both match.
  EXPECT_EQ(FindDevice(0x5678, 0x1234, 3, 0, 0, &dev), VEXO_STATUS_SUCCESS);
  CloseDevice(dev);
  dev = reinterpret_cast<VEXO_DEVICE_HANDLE_t>(0x1);
  EXPECT_EQ(FindDevice(0x5678, 0x1234, 3, 0, 1, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(dev, nullptr);
  EXPECT_EQ(FindDevice(3, 5, 0, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(FindDevice(static_cast<unsigned short>(0xBEEF), static_cast<unsigned short>(0x1234),
                       &dev),
            VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(dev, nullptr);

  // A null record: the accessors write 0 and report the invalid device handle.
  unsigned char bus = 9;
  EXPECT_EQ(GetBusNumber(nullptr, &bus), VEXO_STATUS_INVALID_DEVICE_HANDLE);
  EXPECT_EQ(bus, 0);
  EXPECT_EQ(GetVendorID(nullptr, &id), VEXO_STATUS_INVALID_DEVICE_HANDLE);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(VEXO_GetDeviceProperties(nullptr, &bus, nullptr, nullptr, nullptr, nullptr),
            VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(EnumerateDevice(framework, 1, 2, 3, 4), VEXO_STATUS_SUCCESS);
}

TEST_F(DiscoveryTest, FindInformationDispatchesOnTheFlags) {
  start_hierarchy();
  auto* handle = vexo::framework_from_handle(framework);
  // IDs of the second endpoint function, position of the first, class of a bridge.
  VEXO_DEVICE_FIND_INFO_t info{0x1234, 0x5679, 3, 0x77, 0, 0, 0x06, 0x04, 0x00};
  VEXO_DEVICE_HANDLE_t dev = nullptr;

  // 0x1007: class code only, the first bridge.
  ASSERT_EQ(FindDevice(framework, &dev, 0x1007, &info), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{0, 0, 0}));
  const auto* record = vexo::record_from_handle(dev);
  EXPECT_EQ(record->framework, framework);
  EXPECT_EQ(record->opened, 0u);
  EXPECT_EQ(handle->found_devices.count, 1u);
  EXPECT_EQ(handle->found_devices.sentinel.next, &record->link);
  CloseDevice(dev);
  EXPECT_EQ(handle->found_devices.count, 0u);  // a closed record leaves the list
  EXPECT_EQ(handle->found_devices.sentinel.next, &handle->found_devices.sentinel);

  // 0x1003: IDs and position, which disagree here.
  EXPECT_EQ(FindDevice(framework, &dev, 0x1003, &info), VEXO_STATUS_FIND_DEVICE_FAILED);
  EXPECT_EQ(dev, nullptr);
  info.function = 1;
  ASSERT_EQ(FindDevice(framework, &dev, 0x1003, &info), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{3, 0, 1}));
  CloseDevice(dev);

  // 0x3: IDs alone; 0x1000: position alone.
  info.function = 0;
  ASSERT_EQ(FindDevice(framework, &dev, 0x3, &info), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{3, 0, 1}));
  CloseDevice(dev);
  ASSERT_EQ(FindDevice(framework, &dev, 0x1000, &info), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{3, 0, 0}));
  CloseDevice(dev);

  // No search flag at all.
  dev = reinterpret_cast<VEXO_DEVICE_HANDLE_t>(0x1);
  EXPECT_EQ(FindDevice(framework, &dev, 0x10, &info), VEXO_STATUS_FIND_DEVICE_FAILED);
  EXPECT_EQ(dev, nullptr);
  EXPECT_EQ(FindDevice(framework, &dev, 0x3, nullptr), VEXO_STATUS_INVALID_PARAMETER);
}

TEST_F(DiscoveryTest, PortTypeSearchesWalkTheHierarchyInScanOrder) {
  start_hierarchy();
  VEXO_DEVICE_HANDLE_t dev = nullptr;
  VEXO_DEVICE_HANDLE_t next = nullptr;
  ASSERT_EQ(FindFirstRootPort(framework, &dev), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{0, 0, 0}));
  EXPECT_EQ(FindNextRootPort(dev, &next), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(next, nullptr);
  CloseDevice(dev);

  ASSERT_EQ(FindFirstSwitch(framework, &dev), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{1, 0, 0}));
  CloseDevice(dev);

  ASSERT_EQ(FindFirstDownSwitch(framework, &dev), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{2, 0, 0}));
  ASSERT_EQ(FindNextDownSwitch(dev, &next), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(next), (bdf{2, 1, 0}));
  CloseDevice(dev);
  CloseDevice(next);

  ASSERT_EQ(FindFirstEndpoint(framework, &dev), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{3, 0, 0}));
  ASSERT_EQ(FindNextEndpoint(dev, &next), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(next), (bdf{3, 0, 1}));
  CloseDevice(dev);
  EXPECT_EQ(FindNextEndpoint(next, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  CloseDevice(next);

  EXPECT_EQ(FindFirstBridge(framework, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(FindFirstLegacyEndpoint(framework, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(FindNextEndpoint(nullptr, &dev), VEXO_STATUS_INVALID_PARAMETER);
}

TEST_F(DiscoveryTest, ParentsDependOnThePortType) {
  start_hierarchy();
  VEXO_DEVICE_HANDLE_t parent = nullptr;

  // Endpoint: the downstream port above it.
  VEXO_DEVICE_HANDLE_t endpoint = record_at(3, 0, 1);
  EXPECT_EQ(GetParentDevice(endpoint, &parent), VEXO_STATUS_INVALID_PARAMETER);  // not opened
  ASSERT_EQ(OpenDevice(endpoint, 0), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(vexo::record_from_handle(endpoint)->opened, 1u);
  ASSERT_EQ(GetParentDevice(endpoint, &parent), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(parent), (bdf{2, 0, 0}));
  VEXO_DEV_PORT_TYPE_t type{};
  EXPECT_EQ(GetDeviceType(parent, &type), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(type, VEXO_DEV_SWITCH_DOWNSTREAM_PORT);
  CloseDevice(parent);

  // Downstream port: the port above the switch, not the switch's upstream port.
  VEXO_DEVICE_HANDLE_t port = record_at(2, 1, 0);
  ASSERT_EQ(OpenDevice(port, 0), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(GetParentDevice(port, &parent), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(parent), (bdf{0, 0, 0}));
  CloseDevice(parent);

  // Upstream port: the root port. Root port: no parent.
  VEXO_DEVICE_HANDLE_t upstream = record_at(1, 0, 0);
  ASSERT_EQ(OpenDevice(upstream, 0), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(GetParentDevice(upstream, &parent), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(parent), (bdf{0, 0, 0}));
  CloseDevice(parent);
  VEXO_DEVICE_HANDLE_t root = record_at(0, 0, 0);
  ASSERT_EQ(OpenDevice(root, 0), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(GetParentDevice(root, &parent), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(parent, nullptr);

  // The upstream bridge by itself, and the unsupported parent port.
  VEXO_DEVICE_HANDLE_t above = VEXO_GetUpStreamPort(endpoint);
  ASSERT_NE(above, nullptr);
  EXPECT_EQ(where(above), (bdf{2, 0, 0}));
  EXPECT_EQ(VEXO_GetUpStreamPort(root), nullptr);
  EXPECT_EQ(GetParentPort(endpoint, &parent), VEXO_STATUS_NOT_SUPPORTED);
  for (auto* dev : {above, root, upstream, port, endpoint}) CloseDevice(dev);
}

TEST_F(DiscoveryTest, ScanSkipRulesAndTheEndOfTheSpace) {
  auto space = start_bytes();
  constexpr uint8_t express_endpoint[] = {0x10, 0x00, 0x02, 0x00};  // PCIe cap, endpoint
  auto add_endpoint = [&](const function_address& at, uint16_t vendor, uint16_t device) {
    auto& bytes = space->add_function(at, vendor, device);
    bytes[0x06] = 0x10;
    bytes[0x34] = 0x40;
    std::copy(std::begin(express_endpoint), std::end(express_endpoint), bytes.begin() + 0x40);
  };
  add_endpoint({0, 0, 0}, 0x0000, 0x0000);  // vendor 0: the ID search leaves bus 0 here
  add_endpoint({0, 1, 0}, 0x1234, 0x4321);
  add_endpoint({1, 0, 0}, 0x00FF, 0x0000);  // vendor 0xFF: the ID-and-position search leaves
  add_endpoint({1, 2, 0}, 0x1234, 0x4321);
  add_endpoint({2, 0, 0}, 0x1234, 0x4321);
  add_endpoint({255, 0, 0}, 0xCAFE, 0x0255);
  add_endpoint({254, 31, 7}, 0xCAFE, 0x0254);

  VEXO_DEVICE_HANDLE_t dev = nullptr;
  ASSERT_EQ(FindDevice(0x4321, 0x1234, &dev), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(dev), (bdf{1, 2, 0}));
  CloseDevice(dev);
  EXPECT_EQ(FindDevice(0x4321, 0x1234, 1, 2, 0, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(FindDevice(0x4321, 0x1234, 0, 1, 0, &dev), VEXO_STATUS_SUCCESS);
  CloseDevice(dev);
  // By position: vendor 0 counts as absent.
  EXPECT_EQ(FindDevice(0, 0, 0, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);

  // Bus 255 is never scanned; a single read still reaches it.
  EXPECT_EQ(FindDevice(0x0255, 0xCAFE, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(FindDevice(255, 0, 0, &dev), VEXO_STATUS_SUCCESS);
  CloseDevice(dev);

  // The port-type search: 254:31.7 is the last function it looks at.
  VEXO_DEVICE_HANDLE_t last = record_at(254, 31, 7);
  VEXO_DEVICE_HANDLE_t next = reinterpret_cast<VEXO_DEVICE_HANDLE_t>(0x1);
  EXPECT_EQ(FindNextEndpoint(last, &next), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(next, nullptr);
  VEXO_DEVICE_HANDLE_t before = record_at(2, 0, 0);
  ASSERT_EQ(FindNextEndpoint(before, &next), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(where(next), (bdf{254, 31, 7}));
  CloseDevice(next);
  CloseDevice(before);
  CloseDevice(last);

  // A legacy PCI function (no PCI Express capability) is never a port type and has no parent.
  space->add_function({5, 0, 0}, 0x1111, 0x2222);
  dev = record_at(5, 0, 0);
  EXPECT_EQ(OpenDevice(dev, 0), VEXO_STATUS_SUCCESS);
  VEXO_DEVICE_HANDLE_t parent = nullptr;
  EXPECT_EQ(GetParentDevice(dev, &parent), VEXO_STATUS_INVALID_PARAMETER);
  VEXO_DEV_PORT_TYPE_t type{};
  EXPECT_EQ(GetDeviceType(dev, &type), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
  CloseDevice(dev);
}

TEST_F(DiscoveryTest, FailedReadsCountAsAbsentFunctions) {
  auto space = start_bytes();
  space->add_function({0, 3, 0}, 0x1234, 0x4321);
  // The driver writes back a shorter length: every read fails, nothing is found.
  faults->rewrite_answer(config_path, 0x222000, 16, 32);
  VEXO_DEVICE_HANDLE_t dev = nullptr;
  EXPECT_EQ(FindDevice(0, 3, 0, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(FindDevice(0x4321, 0x1234, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(dev, nullptr);
}

TEST_F(DiscoveryTest, NoConfigurationDriverFindsNothing) {
  auto space = std::make_shared<pellor::fake::byte_array_config_space>();
  space->add_function({0, 3, 0}, 0x1234, 0x4321);
  prepare(space);
  drivers->record_requests(true);
  faults->hide_family(platform::driver_class::config_space);
  // The library hands out a zeroed table, which start-up refuses.
  EXPECT_EQ(open_framework(), VEXO_STATUS_FAILED);
  VEXO_DEVICE_HANDLE_t dev = nullptr;
  EXPECT_EQ(FindDevice(0, 3, 0, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  EXPECT_EQ(FindFirstEndpoint(nullptr, &dev), VEXO_STATUS_DEVICE_NOT_FOUND);
  unsigned char buffer[4] = {};
  EXPECT_EQ(VEXO_ReadConfigSpace_Ex(0, 3, 0, 0, 4, buffer), 0u);
  uint64_t base = 7;
  uint8_t start_bus = 7, end_bus = 7;
  uint64_t length = 7;
  EXPECT_EQ(QueryAcpiMcfgTableInfo(&base, &start_bus, &end_bus, &length), 0);
  EXPECT_EQ(drivers->requests().size(), 0u);
}

}  // namespace
