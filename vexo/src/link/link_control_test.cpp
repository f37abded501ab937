// Link control on a Lattix hierarchy: the parent's Link Control register keeps every bit but
// the one changed; training wait; failures and the calls that do nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "framework_fixture.h"

namespace {

using vexo_test::printed_by;

// A downstream port 0:0.0 (Link Control at 0x50) above the endpoint 1:0.0.
constexpr const char* port_and_endpoint = R"([Device 0 Function 0]
VENDORID = 0x8086
Bridge = 1,
[Device 1 Function 0]
VENDORID = 0x1234
DEVICEID = 0x5678
)";

constexpr uint16_t port_link_control = 0x50;
constexpr uint16_t endpoint_link_status = 0x52;

class LinkControlTest : public vexo_test::FrameworkFixture {
 protected:
  void SetUp() override {
    station = start_lattix(port_and_endpoint);
    station->set_port_type({0, 0, 0}, VEXO_DEV_ROOT_PORT);
    endpoint = record_at(1, 0, 0);
  }
  void TearDown() override {
    if (parent != nullptr) CloseDevice(parent);
    CloseDevice(endpoint);
    FrameworkFixture::TearDown();
  }
  uint32_t link_control() { return station->register_value({0, 0, 0}, port_link_control, 2); }

  std::shared_ptr<vexo_test::lattix_station> station;
  VEXO_DEVICE_HANDLE_t endpoint = nullptr;
  VEXO_DEVICE_HANDLE_t parent = nullptr;
};

TEST_F(LinkControlTest, DisableThenEnableKeepsEveryOtherBit) {
  ASSERT_EQ(OpenDevice(endpoint, 0), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(GetParentDevice(endpoint, &parent), VEXO_STATUS_SUCCESS);
  VEXO_DEVICE_HANDLE_t port = nullptr;
  ASSERT_EQ(VEXO_GetPortToResetOrRetrain(endpoint, &port), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(port, parent);
  station->set_register({0, 0, 0}, port_link_control, 2, 0x00C3);  // ASPM, CCC, ext. sync
  ASSERT_EQ(VEXO_DisableLink(endpoint), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(link_control(), 0x00D3u);
  ASSERT_EQ(VEXO_EnableLink(endpoint), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(link_control(), 0x00C3u);

  // Retrain writes bit 5 with the other bits as read (the port does not keep it; the
  // request shows what was written), and does not wait.
  drivers->record_requests(true);
  ASSERT_EQ(VEXO_RetrainDUTLink(endpoint), VEXO_STATUS_SUCCESS);
  const auto requests = drivers->requests_to(config_path);
  ASSERT_FALSE(requests.empty());
  const auto& write = requests.back();
  EXPECT_EQ(write.code, 0x222004u);
  uint32_t words[5];
  std::memcpy(words, write.in.data(), sizeof words);
  EXPECT_EQ(words[0], 0u);  // bus
  EXPECT_EQ(words[3], 0x50u);
  EXPECT_EQ(words[4], 2u);
  EXPECT_EQ(write.in[20], 0xE3);
  EXPECT_EQ(write.in[21], 0x00);
}

TEST_F(LinkControlTest, WaitReadsLinkTrainingOnce) {
  EXPECT_EQ(VEXO_WaitForDeviceToRetrain(endpoint, 0), VEXO_STATUS_SUCCESS);
  station->set_register({1, 0, 0}, endpoint_link_status, 2, 0x0811);
  EXPECT_EQ(VEXO_WaitForDeviceToRetrain(endpoint, 0), VEXO_STATUS_FAILED);
  EXPECT_EQ(VEXO_WaitForDeviceToRetrain(nullptr, 0), VEXO_STATUS_INVALID_PARAMETER);
}

TEST_F(LinkControlTest, FailuresAreReportedWithTheRightDevice) {
  // Never opened: no parent.
  std::string printed = printed_by([&] { EXPECT_EQ(VEXO_DisableLink(endpoint), VEXO_STATUS_FAILED); });
  EXPECT_EQ(printed,
            "VEXO_DisableLink. ERROR . Cannot find upstream device for \t\t\t\tdevice @ BDF[1,0,0]\n");
  EXPECT_EQ(VEXO_GetPortToResetOrRetrain(endpoint, &parent), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(VEXO_EnableLink(nullptr), VEXO_STATUS_INVALID_PARAMETER);

  ASSERT_EQ(OpenDevice(endpoint, 0), VEXO_STATUS_SUCCESS);
  GetParentDevice(endpoint, &parent);
  faults->fail_requests(config_path, 0x222004, 31);
  printed = printed_by([&] { EXPECT_EQ(VEXO_EnableLink(endpoint), VEXO_STATUS_PCIE_CONFIG_WRITE_FAILED); });
  EXPECT_EQ(printed,
            "VEXO_DisableLink. Writing to PCI-Express caps\t\t\t\tfor Device at BDF[0,0,0] failed\n");

  // The parent loses its capability list; a fresh open stores a copy that shows it.
  station->set_register({0, 0, 0}, 0x06, 1, 0x00);
  CloseDevice(parent);
  ASSERT_EQ(OpenDevice(endpoint, 0), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(GetParentDevice(endpoint, &parent), VEXO_STATUS_SUCCESS);
  printed = printed_by([&] {
    EXPECT_EQ(VEXO_RetrainDUTLink(endpoint), VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST);
  });
  EXPECT_EQ(printed,
            "VEXO_RetrainDUTLink. Getting PCI-Express Caps for device\t\t\t\t@ BDF[0,0,0] failed\n");

  EXPECT_EQ(SetASPMState(endpoint, 3), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(SetUpstreamASPMState(endpoint, 3), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(WriteDeviceStatusReg(endpoint, 1, 2, 3, 4), VEXO_STATUS_INVALID_PARAMETER);
}

}  // namespace
