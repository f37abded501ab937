// Tests of devices: BARs, ROM BARs, windows, resets, secondary bus reset, ASPM, capabilities.
#include "lattix/device.h"

#include <gtest/gtest.h>

#include "lattix/bus.h"
#include "lattix/status.h"

namespace {

barData memoryBar(int32_t size, bool is64 = false, uint32_t low = 0) {
  barData bar;
  bar.size = size;
  bar.low = low;
  bar.flags[0] = is64 ? 1 : 0;
  bar.flags[1] = 1;
  return bar;
}

}  // namespace

TEST(DeviceBarTest, SizingReadsBackTheSize) {
  endPoint ep;
  ep.setBar(0, 0x10, memoryBar(12));  // 1 MB
  ep.write4(0, 0x10, 0xFFFFFFFF);
  EXPECT_EQ(ep.read4(0, 0x10), 0xFFF00000u);
  barData io;
  io.size = 24;  // 256 bytes of I/O
  ep.setBar(0, 0x14, io);
  ep.write4(0, 0x14, 0xFFFFFFFF);
  EXPECT_EQ(ep.read4(0, 0x14), 0xFFFFFF01u);
  barData readIo = ep.getBar(0, 0x14);
  EXPECT_EQ(readIo.size, 24);
  EXPECT_EQ(readIo.low, 0xFFFFFF00u);
  EXPECT_EQ(readIo.flags[1], 0);

  ep.setBar(0, 0x18, memoryBar(44, true, 0x8));  // 64-bit 1 MB prefetchable
  EXPECT_EQ(ep.getFunction(0)->writeMask(0x18, 4), 0xFFF00000u);
  EXPECT_EQ(ep.getFunction(0)->writeMask(0x1C, 4), 0xFFFFFFFFu);
  ep.write4(0, 0x18, 0xFFFFFFFF);
  ep.write4(0, 0x1C, 0x00000012);
  barData wide = ep.getBar(0, 0x18);
  EXPECT_EQ(wide.size, 44);
  EXPECT_EQ(wide.low, 0xFFF00000u);
  EXPECT_EQ(wide.high, 0x12u);
  EXPECT_EQ(wide.flags[0], 1);
  EXPECT_EQ(wide.flags[1], 1);
  EXPECT_EQ(wide.flags[3], 1);
  EXPECT_EQ(ep.read4(0, 0x18), 0xFFF0000Cu);

  // 8 GB 64-bit BAR: the lower register holds no address bits.
  ep.setBar(0, 0x20, memoryBar(31, true));
  EXPECT_EQ(ep.getFunction(0)->writeMask(0x20, 4), 0u);
  EXPECT_EQ(ep.getFunction(0)->writeMask(0x24, 4), 0xFFFFFFFEu);
  EXPECT_EQ(ep.getBar(0, 0x20).size, 31);
  // 4 GB: upper fully writable, lower read-only.
  endPoint four;
  four.setBar(0, 0x10, memoryBar(32, true));
  EXPECT_EQ(four.getFunction(0)->writeMask(0x10, 4), 0u);
  EXPECT_EQ(four.getBar(0, 0x10).size, 32);
}

TEST(DeviceBarTest, NotImplementedAndInvalidOffsets) {
  endPoint ep;
  EXPECT_EQ(ep.getBar(0, 0x10).size, 0);  // never programmed: 32-bit memory, no bits
  EXPECT_EQ(ep.getBar(0, 0x0C).size, -1);
  EXPECT_EQ(ep.getBar(0, 0x28).size, -1);
  EXPECT_EQ(ep.getBar(0, 0x12).size, -1);
  EXPECT_EQ(ep.getBar(1, 0x10).size, -1);
  EXPECT_EQ(ep.getBar(0, 0x30).size, -1);  // ROM enable bit 0: not implemented
  // A 64-bit BAR at the last offset has no upper register.
  ep.setBar(0, 0x24, memoryBar(44, true));
  EXPECT_EQ(ep.getStatus(), lattix_status::offsetOutOfRange);
  EXPECT_EQ(ep.read4(0, 0x24), 0u);
  // A bridge has BARs at 0x10 and 0x14 only; 0x18 holds its bus numbers.
  bridge br;
  br.setBar(0, 0x18, memoryBar(20));
  EXPECT_EQ(br.getStatus(), lattix_status::offsetOutOfRange);
  EXPECT_EQ(br.read4(0, 0x18), 0x00FF0000u);
  EXPECT_EQ(br.getBar(0, 0x18).size, -1);
  br.setBar(0, 0x14, memoryBar(20));
  EXPECT_EQ(br.getBar(0, 0x14).size, 20);
  // Ignore overlap is reported back.
  barData ignored = memoryBar(20);
  ignored.flags[2] = 1;
  ep.setBar(0, 0x14, ignored);
  EXPECT_EQ(ep.getBar(0, 0x14).flags[2], 1);
  EXPECT_EQ(ep.getBar(0, 0x10).flags[2], 0);
}

TEST(DeviceBarTest, ExpansionRomBars) {
  endPoint ep;
  ep.setERomBar(0, memoryBar(16));  // 64 KB
  EXPECT_EQ(ep.read4(0, 0x30), 0x1u);
  ep.write4(0, 0x30, 0xFFFFFFFE);
  EXPECT_EQ(ep.read4(0, 0x30), 0xFFFF0001u);  // enable bit stays set, read-only
  barData rom = ep.getBar(0, 0x30);
  EXPECT_EQ(rom.size, 16);
  EXPECT_EQ(rom.flags[1], 1);
  EXPECT_EQ(rom.low, 0xFFFF0000u);
  bridge br;
  br.setERomBar(0, memoryBar(21));
  EXPECT_EQ(br.getBar(0, 0x38).size, 21);
  EXPECT_EQ(br.getBar(0, 0x30).size, -1);
  // 1 KB is below the smallest ROM; 64-bit and I/O descriptors are refused.
  endPoint other;
  other.setERomBar(0, memoryBar(22));
  other.setERomBar(0, memoryBar(16, true));
  barData io;
  io.size = 16;
  other.setERomBar(0, io);
  EXPECT_EQ(other.read4(0, 0x30), 0u);
}

TEST(DeviceBridgeTest, WindowsDecode) {
  bridge br;
  uint32_t base = 7, limit = 7, baseUpper = 7, limitUpper = 7;
  br.write1(0, 0x1C, 0x20);
  br.write1(0, 0x1D, 0x30);
  br.GetBridgeWindowInfo(0, IO_WINDOW, &base, &limit, &baseUpper, &limitUpper);
  EXPECT_EQ(base, 0x2000u);
  EXPECT_EQ(limit, 0x3FFFu);
  EXPECT_EQ(baseUpper, 0u);
  br.statusWrite1(0, 0x1C, 0x21);  // 32-bit I/O decoding
  br.statusWrite2(0, 0x30, 0x0001);
  br.statusWrite2(0, 0x32, 0x0002);
  br.GetBridgeWindowInfo(0, IO_WINDOW, &base, &limit, &baseUpper, &limitUpper);
  EXPECT_EQ(base, 0x00012000u);
  EXPECT_EQ(limit, 0x00023FFFu);
  EXPECT_EQ(baseUpper, 0x00010000u);
  EXPECT_EQ(limitUpper, 0x00020000u);
  br.write2(0, 0x20, 0xE010);
  br.write2(0, 0x22, 0xE0F0);
  br.GetBridgeWindowInfo(0, MEM_WINDOW, &base, &limit, &baseUpper, &limitUpper);
  EXPECT_EQ(base, 0xE0100000u);
  EXPECT_EQ(limit, 0xE0FFFFFFu);
  br.write4(0, 0x24, 0xFFF1C001);
  br.write4(0, 0x2C, 0x5);
  br.GetBridgeWindowInfo(0, PREFETCH_WINDOW, &base, &limit, &baseUpper, &limitUpper);
  EXPECT_EQ(base, 0xC001u);
  EXPECT_EQ(limit, 0xFFF1u);
  EXPECT_EQ(limitUpper, 0x5u);
  endPoint ep;
  base = 7;
  EXPECT_TRUE(ep.GetBridgeWindowInfo(0, MEM_WINDOW, &base, &limit, &baseUpper, &limitUpper));
  EXPECT_EQ(base, 7u);
}

TEST(DeviceBridgeTest, SecondaryBusResetOnFunctionZeroOnly) {
  endPoint* below = new endPoint();
  bridge* inner = new bridge();
  endPoint* deep = new endPoint();
  device* innerSlots[] = {deep};
  bus innerBus(innerSlots, 1);
  inner->setDownstreamBus(0, &innerBus);
  device* slots[] = {below, inner};
  bus downstream(slots, 2);
  bridge top;
  top.addFunction(1, 2);
  top.setDownstreamBus(0, &downstream);
  top.setDownstreamBus(1, &downstream);

  below->write1(0, 0x3C, 0x0A);
  deep->write1(0, 0x3C, 0x0B);
  below->write1(0, 0x59, 0x01);  // sticky
  top.write1(1, 0x3E, 0x40);     // function 1: nothing
  EXPECT_EQ(below->read1(0, 0x3C), 0x0Au);
  top.write2(0, 0x3C, 0x0000);  // bit clear: nothing
  EXPECT_EQ(below->read1(0, 0x3C), 0x0Au);
  top.write4(0, 0x3C, 0x00400000);  // bit 22 of a write at 0x3C
  EXPECT_EQ(top.read1(0, 0x3E), 0x40u);
  EXPECT_EQ(below->read1(0, 0x3C), 0x00u);
  EXPECT_EQ(below->read1(0, 0x59), 0x01u);
  EXPECT_EQ(deep->read1(0, 0x3C), 0x00u);  // reset reaches devices below nested bridges
  top.write1(0, 0x3E, 0x00);
  below->write1(0, 0x3C, 0x0C);
  top.write2(0, 0x3D, 0x4000);
  EXPECT_EQ(below->read1(0, 0x3C), 0x00u);
  delete below;
  delete inner;
  delete deep;
}

TEST(DeviceBridgeTest, ResetOfABridgeListedBelowItselfEnds) {
  bridge loop;
  device* slots[] = {&loop};
  bus self(slots, 1);
  loop.setDownstreamBus(0, &self);
  loop.write1(0, 0x3C, 0x05);
  loop.hotReset();
  loop.coldReset();
  loop.write1(0, 0x3E, 0x40);
  EXPECT_EQ(loop.read1(0, 0x3C), 0x00u);
}

TEST(DeviceResetTest, SnapshotsComeFromTemplatesAndExtendedBuilders) {
  endPoint ep;
  ep.setVendorID(0, 0x1234);
  ep.hotReset();
  EXPECT_EQ(ep.read2(0, 0x00), 0x0000u);  // set after the last snapshot
  ep.setVendorID(0, 0x1234);
  ep.addAdvErrorReportCap(0, 0x100);
  ep.coldReset();
  EXPECT_EQ(ep.read2(0, 0x00), 0x1234u);
  // The MSI capability survives resets without pulling other values into the snapshot.
  endPoint msi;
  msi.setDeviceID(0, 0xBEEF);
  msi.addMsiCap(0, 0x60, 1, false);
  msi.hotReset();
  EXPECT_EQ(msi.findCapability(0, 0x05), 0x60);
  EXPECT_EQ(msi.read2(0, 0x02), 0x0000u);
  // The base class does nothing on reset.
  device plain;
  plain.addFunction(0, 1);
  plain.write1(0, 0x3C, 0x07);
  plain.hotReset();
  EXPECT_EQ(plain.read1(0, 0x3C), 0x07u);
}

TEST(DeviceAspmTest, FieldsThroughTheExpressCapability) {
  endPoint ep;
  uint32_t control = 0xAA;
  EXPECT_FALSE(ep.GetASPMControl(0, &control));
  EXPECT_EQ(control, 0u);
  EXPECT_EQ(ep.getL0sExitLatency(0), 0u);  // L0s not enabled
  ep.setASPMControl(0, 3);
  EXPECT_FALSE(ep.GetASPMControl(0, &control));
  EXPECT_EQ(control, 3u);
  // Template link capabilities 0x5C11: L0s exit 5, L1 exit 0.
  EXPECT_EQ(ep.getL0sExitLatency(0), 64u << 5);
  EXPECT_EQ(ep.getL1ExitLatency(0), 1024u);
  ep.setL0sExitLatency(0, 2);
  ep.setL1ExitLatency(0, 6);
  EXPECT_EQ(ep.getL0sExitLatency(0), 64u << 2);
  EXPECT_EQ(ep.getL1ExitLatency(0), 1024u << 6);
  EXPECT_EQ(ep.read4(0, 0x4C), 0x00032C11u);
  // Device capabilities 0x25: L0s acceptable 0, L1 acceptable 0.
  EXPECT_EQ(ep.getL0sAcceptableLatency(0), 32u);
  EXPECT_EQ(ep.getL1AcceptableLatency(0), 512u);
  ep.setL0sAcceptableLatency(0, 7);
  ep.setL1AcceptableLatency(0, 4);
  EXPECT_EQ(ep.getL0sAcceptableLatency(0), 32u << 7);
  EXPECT_EQ(ep.getL1AcceptableLatency(0), 512u << 4);
  EXPECT_EQ(ep.read4(0, 0x44), 0x000009E5u);

  // Without the capability: true, output untouched, latencies 0 or all ones.
  endPoint bare;
  bare.statusWrite1(0, 0x34, 0x00);
  control = 0xAA;
  EXPECT_TRUE(bare.GetASPMControl(0, &control));
  EXPECT_EQ(control, 0xAAu);
  EXPECT_EQ(bare.getL0sAcceptableLatency(0), 0xFFFFFFFFu);
  EXPECT_EQ(bare.getL1AcceptableLatency(0), 0xFFFFFFFFu);
  EXPECT_EQ(bare.getL1ExitLatency(0), 0u);
  bare.setASPMControl(0, 3);
  EXPECT_EQ(bare.read1(0, 0x50), 0u);
}

TEST(DeviceCapabilityTest, MsiOffsetsAndLayout) {
  endPoint ep;
  ep.addMsiCap(0, 0x42, 1, false);
  EXPECT_EQ(ep.getStatus(), lattix_status::offsetNotAligned);
  ep.addMsiCap(0, 0x3C, 1, false);
  EXPECT_EQ(ep.getStatus(), lattix_status::offsetOutOfRange);
  ep.addMsiCap(0, 244, 1, true);
  EXPECT_EQ(ep.getStatus(), lattix_status::offsetOutOfRange);
  ep.addMsiCap(3, 0x60, 1, false);
  EXPECT_EQ(ep.getStatus(), lattix_status::noFunction);
  ep.addMsiCap(0, 0x60, 4, false);
  EXPECT_EQ(ep.getStatus(), lattix_status::ok);
  EXPECT_EQ(ep.read1(0, 0x55), 0x60u);  // linked behind power management
  EXPECT_EQ(ep.read4(0, 0x60), 0x00040005u);
  ep.write4(0, 0x60, 0xFFFFFFFF);
  ep.write4(0, 0x64, 0xFFFFFFFF);
  ep.write4(0, 0x68, 0xFFFFFFFF);
  EXPECT_EQ(ep.read4(0, 0x60), 0x00750005u);
  EXPECT_EQ(ep.read4(0, 0x64), 0xFFFFFFFCu);
  EXPECT_EQ(ep.read4(0, 0x68), 0x0000FFFFu);
  ep.addMsiCap(0, 0x70, 1, true);
  EXPECT_EQ(ep.read1(0, 0x61), 0x70u);
  EXPECT_EQ(ep.read2(0, 0x72), 0x0080u);
  ep.write4(0, 0x78, 0xFFFFFFFF);
  ep.write4(0, 0x7C, 0xFFFFFFFF);
  EXPECT_EQ(ep.read4(0, 0x78), 0xFFFFFFFFu);
  EXPECT_EQ(ep.read4(0, 0x7C), 0x0000FFFFu);
  EXPECT_EQ(ep.findCapability(0, 0x05), 0x60);
  EXPECT_EQ(ep.findCapability(0, 0x07), 0);
}

TEST(DeviceCapabilityTest, ExtendedCapabilitiesChainAndMasks) {
  endPoint ep;
  ep.addAdvErrorReportCap(0, 0x100);
  ep.addDeviceSerialNumCap(0, 0x140, 0x11223344, 0x55667788);
  ep.addPowerBudgetCap(0, 0x150, 0xABCD);
  ep.addVirtualChannelCap(0, 0x160);
  EXPECT_EQ(ep.getStatus(), lattix_status::ok);
  EXPECT_EQ(ep.read4(0, 0x100), 0x14010001u);
  EXPECT_EQ(ep.read4(0, 0x140), 0x15010003u);
  EXPECT_EQ(ep.read4(0, 0x150), 0x16010004u);
  EXPECT_EQ(ep.read4(0, 0x160), 0x00010002u);
  EXPECT_EQ(ep.findExtendedCapability(0, 2), 0x160);
  // Serial number: values, read-only.
  ep.write4(0, 0x144, 0);
  EXPECT_EQ(ep.read4(0, 0x144), 0x11223344u);
  EXPECT_EQ(ep.read4(0, 0x148), 0x55667788u);
  // Power budget: data select writable, system allocated write-once.
  ep.write4(0, 0x154, 0xFFFFFFFF);
  EXPECT_EQ(ep.read4(0, 0x154), 0xFFu);
  EXPECT_EQ(ep.read4(0, 0x158), 0xABCDu);
  ep.write1(0, 0x15C, 0x01);
  ep.write1(0, 0x15C, 0x00);
  EXPECT_EQ(ep.read1(0, 0x15C), 0x01u);
  // AER: severity default, status RW1CS, mask RWS, header log sticky.
  EXPECT_EQ(ep.read4(0, 0x10C), 0x00062011u);
  ep.write4(0, 0x108, 0xFFFFFFFF);
  EXPECT_EQ(ep.read4(0, 0x108), 0x001FF011u);
  ep.statusWrite4(0, 0x104, 0x001FF011);
  ep.write4(0, 0x104, 0x00000010);
  EXPECT_EQ(ep.read4(0, 0x104), 0x001FF001u);
  ep.write4(0, 0x11C, 0xDEADBEEF);
  ep.write4(0, 0x118, 0xFFFFFFFF);
  EXPECT_EQ(ep.read4(0, 0x118), 0x00000140u);
  ep.hotReset();
  EXPECT_EQ(ep.read4(0, 0x11C), 0xDEADBEEFu);
  EXPECT_EQ(ep.read4(0, 0x108), 0x001FF011u);
  EXPECT_EQ(ep.read4(0, 0x104), 0x001FF001u);
  ep.coldReset();
  EXPECT_EQ(ep.read4(0, 0x108), 0u);
  // VC: port VC control and VC0 resource control bits writable, the rest read-only.
  EXPECT_EQ(ep.read4(0, 0x174), 0x800000FFu);
  ep.write4(0, 0x16C, 0xFFFFFFFF);
  ep.write4(0, 0x174, 0x00000000);
  EXPECT_EQ(ep.read4(0, 0x16C), 0x0000000Fu);
  EXPECT_EQ(ep.read4(0, 0x174), 0x80000001u);
  ep.write4(0, 0x164, 0xFFFFFFFF);
  EXPECT_EQ(ep.read4(0, 0x164), 0u);
  // Range and alignment.
  ep.addAdvErrorReportCap(0, 4044);
  EXPECT_EQ(ep.getStatus(), lattix_status::offsetOutOfRange);
  EXPECT_EQ(ep.getFunction(0)->status, lattix_status::offsetOutOfRange);
  ep.addDeviceSerialNumCap(0, 0xFC, 0, 0);
  EXPECT_EQ(ep.getStatus(), lattix_status::offsetOutOfRange);
  ep.addPowerBudgetCap(0, 0x102, 0);
  EXPECT_EQ(ep.getStatus(), lattix_status::offsetNotAligned);
  ep.addVirtualChannelCap(0, 4072);
  EXPECT_EQ(ep.getStatus(), lattix_status::offsetOutOfRange);
  ep.addDeviceSerialNumCap(0, 4084, 1, 2);
  EXPECT_EQ(ep.getStatus(), lattix_status::ok);
}

TEST(DeviceTest, FunctionsStatusAndCopies) {
  endPoint ep;
  ep.addFunction(0, 1);
  EXPECT_EQ(ep.getStatus(), lattix_status::functionExists);
  ep.addFunction(2, 2);
  EXPECT_EQ(ep.getStatus(), lattix_status::ok);
  EXPECT_TRUE(ep.isBridge(2));
  EXPECT_FALSE(ep.isBridge(0));
  EXPECT_EQ(ep.getFunction(8), nullptr);
  ep.addGroup(5, 0, 1, nullptr, 0);
  EXPECT_EQ(ep.getStatus(), lattix_status::noFunction);
  // Shallow copies share their spaces.
  endPoint copy(ep);
  copy.write1(0, 0x3C, 0x44);
  EXPECT_EQ(ep.read1(0, 0x3C), 0x44u);
  // Script strings are bounded.
  std::string longName(400, 'x');
  ep.SetDevScriptString(longName.c_str());
  EXPECT_EQ(std::string(ep.GetDevScriptString()).size(), 254u);
  // Adopting constructors take the spaces given.
  configSpace* spaces[2] = {new configSpace(1), new configSpace(2)};
  endPoint adopted(spaces, 2, true, 1.5);
  EXPECT_TRUE(adopted.respondToWrongDevice());
  EXPECT_TRUE(adopted.isBridge(1));
  bus below;
  configSpace* bridgeSpaces[1] = {new configSpace(2)};
  bridge withBus(bridgeSpaces, 1, &below, 0.0);
  EXPECT_EQ(withBus.getDownstreamBus(0), &below);
  EXPECT_EQ(below.getDevice(32), nullptr);
  EXPECT_EQ(below.getDevice(-1), nullptr);
}
