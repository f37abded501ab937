// The virtual firmware over Lattix stations: its result passes the engine's own checks.
#include "firmware/firmware.h"

#include <gtest/gtest.h>

#include "lattix/enumeration_checks.h"
#include "base/lattix_hierarchy.h"
#include "base/pcie_regs.h"

namespace zamsim {
namespace {

std::unique_ptr<hierarchy> load(const char* name) {
  std::string error;
  auto tree = make_lattix_hierarchy(std::string(ZAMSIM_STATIONS) + "/" + name, error);
  EXPECT_TRUE(tree) << error;
  return tree;
}

void expect_clean(hierarchy& tree) {
  packetHandler* handler = packet_handler_of(tree);
  ASSERT_NE(handler, nullptr);
  const busEnumerationError buses = findBusEnumerationError(handler);
  EXPECT_EQ(buses.errorFound, 0);
  EXPECT_EQ(buses.busResult, -1) << "bus numbers left unused";
  overlapDataObj* overlaps = findBarOverlap(handler, false);
  EXPECT_EQ(overlaps, nullptr) << (overlaps ? overlaps->getData().scriptA : "");
  releaseOverlapList(overlaps);
  for (auto type : {IO_WINDOW, MEM_WINDOW, PREFETCH_WINDOW}) {
    const auto window = FindBridgeWindowError(handler, type, true);
    EXPECT_FALSE(window.errorFound) << "window type " << type << " of " << window.bridgeScript << " misses "
                                    << window.deviceScript << " BAR 0x" << std::hex << window.barOffset;
  }
  std::vector<_MEM_IO_ENABLE_FAIL_DATA>* enables = nullptr;
  FindMemIOEnables(handler, &enables, true, true);
  ASSERT_NE(enables, nullptr);
  for (const auto& e : *enables) {
    ADD_FAILURE() << e.script << (e.ioFailure ? " I/O" : " memory") << " enable " << e.actualEnable << ", expected " << e.expectedEnable;
  }
  std::vector<_ASPM_ENABLE_FAIL_DATA>* aspm = nullptr;
  FindASPMEnables(handler, &aspm);
  ASSERT_NE(aspm, nullptr);
  EXPECT_TRUE(aspm->empty());
}

TEST(FirmwareTest, DefaultStationBootsCleanly) {
  auto tree = load("default.test");
  ASSERT_TRUE(tree);
  const firmware_report report = run_firmware(*tree, firmware_options{});
  ASSERT_TRUE(report.ok) << report.error;
  EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
  // Root ports 1-3, the card's two bridges, the switch's upstream and two downstream ports.
  EXPECT_EQ(report.buses, 8);
  EXPECT_EQ(report.functions, 3 + 2 + 1 + 1 + 3 + 2);
  expect_clean(*tree);

  // Depth first: slot 1's chain takes buses 1-3, the switch below slot 2 buses 4-7.
  EXPECT_EQ(tree->locate(1), (bdf{0, 0, 0}));
  EXPECT_EQ(tree->locate(10), (bdf{1, 0, 0}));
  EXPECT_EQ(tree->locate(11), (bdf{2, 0, 0}));
  EXPECT_EQ(tree->locate(20), (bdf{3, 0, 0}));
  EXPECT_EQ(tree->locate(40), (bdf{4, 0, 0}));
  EXPECT_EQ(tree->locate(41), (bdf{6, 0, 0}));
  EXPECT_EQ(tree->locate(30), (bdf{8, 0, 0}));
  EXPECT_EQ(read32(*tree, bdf{0, 0, 0}, pcie::primary_bus) & 0xFFFFFF, 0x030100u);
  EXPECT_EQ(read32(*tree, bdf{0, 1, 0}, pcie::primary_bus) & 0xFFFFFF, 0x070400u);

  // The DUT's 64-bit BARs are naturally aligned inside the station's memory range.
  const uint32_t bar0 = read32(*tree, bdf{3, 0, 0}, pcie::bar0);
  EXPECT_EQ(bar0 & 0xF, 0x4u);  // 64-bit memory
  EXPECT_EQ((bar0 & ~0xFu) % (1u << 20), 0u);
  EXPECT_GE(bar0 & ~0xFu, 0x80000000u);
  EXPECT_EQ(read32(*tree, bdf{3, 0, 0}, pcie::bar0 + 4), 0u);
  // Memory decode on, I/O decode off where no I/O was assigned; bridges master and forward.
  EXPECT_EQ(read16(*tree, bdf{3, 0, 0}, pcie::command) & 3, pcie::command_memory);
  EXPECT_EQ(read16(*tree, bdf{0, 0, 0}, pcie::command) & 0x107, 0x106);
  EXPECT_EQ(read16(*tree, bdf{6, 0, 0}, pcie::command) & 3, 3);
}

// The DUT's PCI Express capability (0x40) is version 2 and advertises completion timeout
// ranges A and B: the firmware programs range B (0101b). Device 30's capability is version 1:
// the firmware leaves the bytes at cap + 0x28 alone.
TEST(FirmwareTest, ProgramsCompletionTimeoutRangeBWhereSupported) {
  auto tree = load("default.test");
  ASSERT_TRUE(tree);
  const bdf dut{3, 0, 0}, known{8, 0, 0};
  ASSERT_EQ(tree->pcie_capability(20), 0x40);
  ASSERT_TRUE(run_firmware(*tree, firmware_options{}).ok);
  EXPECT_EQ(read16(*tree, dut, 0x42), 0x0002);      // endpoint, capability version 2
  EXPECT_EQ(read32(*tree, dut, 0x64), 0x00000003u);  // Device Capabilities 2: ranges A and B
  EXPECT_EQ(read32(*tree, dut, 0x68), 0x00000005u);  // Device Control 2: range B, 16-55 ms
  EXPECT_EQ(read16(*tree, known, 0x42) & pcie::pcie_caps_version, 1);
  EXPECT_EQ(read32(*tree, known, 0x68), 0x00000000u);
}

// Device Capabilities 2 is read-only; in Device Control 2 only the Completion Timeout Value
// (bits 3:0) is writable.
TEST(FirmwareTest, DeviceCapabilities2AndControl2WriteMasks) {
  auto tree = load("default.test");
  ASSERT_TRUE(tree);
  ASSERT_TRUE(run_firmware(*tree, firmware_options{}).ok);
  const bdf dut{3, 0, 0};
  EXPECT_EQ(tree->write_dword(dut, 0x64, 0x0F, 0xFFFFFFFFu), completion::success);
  EXPECT_EQ(read32(*tree, dut, 0x64), 0x00000003u);
  EXPECT_EQ(tree->write_dword(dut, 0x68, 0x0F, 0xFFFFFFFFu), completion::success);
  EXPECT_EQ(read32(*tree, dut, 0x68), 0x0000000Fu);
  EXPECT_EQ(tree->write_dword(dut, 0x68, 0x0F, 0x00000002u), completion::success);
  EXPECT_EQ(read32(*tree, dut, 0x68), 0x00000002u);
  // Nor can the capability version (bits 3:0 of the capabilities register).
  EXPECT_EQ(tree->write_dword(dut, 0x40, 0x0C, 0xFFFF0000u), completion::success);
  EXPECT_EQ(read16(*tree, dut, 0x42) & pcie::pcie_caps_version, 2);
}

TEST(FirmwareTest, MinimalStationAndUnknownDevices) {
  auto tree = load("minimal.test");
  ASSERT_TRUE(tree);
  const firmware_report report = run_firmware(*tree, firmware_options{});
  ASSERT_TRUE(report.ok) << report.error;
  EXPECT_EQ(report.buses, 3);
  expect_clean(*tree);
  EXPECT_FALSE(tree->locate(99));
  // A function nobody implements answers with Unsupported Request.
  uint32_t value = 0;
  EXPECT_EQ(tree->read_dword(bdf{0, 5, 0}, 0, value), completion::unsupported);
  EXPECT_EQ(tree->read_dword(bdf{200, 0, 0}, 0, value), completion::unsupported);
}

TEST(FirmwareTest, RangeTooSmallIsReportedNotOverrun) {
  auto tree = load("default.test");
  ASSERT_TRUE(tree);
  firmware_options options;
  options.memory_base = 0x80000000u;
  options.memory_limit = 0x801FFFFFu;  // 2 MB cannot hold three 1 MB-aligned windows
  const firmware_report report = run_firmware(*tree, options);
  EXPECT_TRUE(report.ok);
  ASSERT_FALSE(report.warnings.empty());
  EXPECT_NE(report.warnings.front().find("no room for memory resource"), std::string::npos);
  overlapDataObj* overlaps = findBarOverlap(packet_handler_of(*tree), true);
  releaseOverlapList(overlaps);
}

}  // namespace
}  // namespace zamsim
