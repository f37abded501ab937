// Tests of topology scripts: statements, switch expansion, building, and the example script.
#include "lattix/script_parser.h"

#include <gtest/gtest.h>

#include "lattix/status.h"
#include "script_test_support.h"

namespace {

const char* const kExample =
    "# two-port switch with one endpoint\n"
    "[Device 1 Function 0]\n"
    "DeviceType = PCIExpressSwitch\n"
    "VENDORID = 0xAB12\n"
    "NumberPorts = 2\n"
    "Bridge.2 = 3,\n"
    "[Device 3 Function 0]\n"
    "Bar1.type = mem32\n"
    "Bar1.size = 1mb\n"
    "OptionRomBar.size = 64kb\n"
    "MSI_32.offset = 0x60\n"
    "ADV_ERR.offset = 0x100\n"
    "ASPM_CONTROL = 0\n"
    "REG.44.32.characteristic = RO FFFFFFFF\n";

}  // namespace

TEST(ScriptParserTest, ExampleScriptBuildsItsHierarchy) {
  parsedScript s;
  parseText(kExample, s);
  ASSERT_TRUE(s.ok) << s.output;
  EXPECT_EQ(s.output, "");
  ASSERT_EQ(s.count, 4);
  // List order: 1, 1000, 1001, 3.
  EXPECT_STREQ(s.devices[0]->GetDevScriptString(), "Script Device 1");
  EXPECT_STREQ(s.devices[1]->GetDevScriptString(), "Script Device 1000");
  EXPECT_STREQ(s.devices[2]->GetDevScriptString(), "Script Device 1001");
  EXPECT_STREQ(s.devices[3]->GetDevScriptString(), "Script Device 3");
  // Connection table: rows of count + 1 ints, -1 terminated; last row = roots.
  EXPECT_EQ(s.connections[0][0], 1);
  EXPECT_EQ(s.connections[0][1], 2);
  EXPECT_EQ(s.connections[0][2], -1);
  EXPECT_EQ(s.connections[8][0], 3);
  EXPECT_EQ(s.connections[8][1], -1);
  EXPECT_EQ(s.connections[16][0], -1);
  EXPECT_EQ(s.connections[32][0], 0);
  EXPECT_EQ(s.connections[32][1], -1);
  EXPECT_EQ(s.handler->getStatus(), 0);
  EXPECT_EQ(s.handler->getRequestHandler()->getRootBus(), s.root());

  device* sw = s.root()->getDevice(0);
  ASSERT_EQ(sw, s.devices[0]);
  EXPECT_EQ(s.root()->getDevice(1), nullptr);
  EXPECT_TRUE(sw->isBridge(0));
  EXPECT_EQ(sw->read4(0, 0x00), 0x0000AB12u);
  EXPECT_EQ(sw->read4(0, 0x08), 0x06040000u);
  EXPECT_TRUE(sw->GetExpectedMemEnable(0));
  EXPECT_FALSE(sw->GetIgnoreMemEnable(0));

  bus* ports = sw->getDownstreamBus(0);
  ASSERT_NE(ports, nullptr);
  device* port2 = ports->getDevice(0);
  device* port3 = ports->getDevice(1);
  ASSERT_EQ(port2, s.devices[1]);
  ASSERT_EQ(port3, s.devices[2]);
  EXPECT_EQ(ports->getDevice(2), nullptr);
  for (device* port : {port2, port3}) {
    EXPECT_TRUE(port->isBridge(0));
    EXPECT_EQ(port->read4(0, 0x00), 0x0000AB12u);
    EXPECT_TRUE(port->GetExpectedMemEnable(0));
    EXPECT_TRUE(port->GetIgnoreMemEnable(0));
    EXPECT_TRUE(port->GetExpectedIOEnable(0));
    EXPECT_TRUE(port->GetIgnoreIOEnable(0));
  }
  ASSERT_NE(port2->getDownstreamBus(0), nullptr);
  EXPECT_EQ(port2->getDownstreamBus(0)->getDevice(0), s.devices[3]);
  ASSERT_NE(port3->getDownstreamBus(0), nullptr);
  EXPECT_EQ(port3->getDownstreamBus(0)->getDevice(0), nullptr);

  device* ep = s.devices[3];
  EXPECT_FALSE(ep->isBridge(0));
  EXPECT_EQ(ep->getStatus(), lattix_status::ok);
  EXPECT_EQ(ep->read4(0, 0x00), 0u);
  EXPECT_EQ(ep->read4(0, 0x08), 0xFFFF0000u);
  EXPECT_EQ(ep->read4(0, 0x10), 0u);
  EXPECT_EQ(ep->getFunction(0)->writeMask(0x10, 4), 0xFFF00000u);
  EXPECT_EQ(ep->getBar(0, 0x10).size, 12);
  EXPECT_EQ(ep->read4(0, 0x30), 0x1u);
  EXPECT_EQ(ep->getFunction(0)->writeMask(0x30, 4), 0xFFFF0000u);
  EXPECT_EQ(ep->getBar(0, 0x30).size, 16);
  EXPECT_EQ(ep->read1(0, 0x55), 0x60u);
  EXPECT_EQ(ep->read4(0, 0x60), 0x00000005u);
  EXPECT_EQ(ep->read4(0, 0x100), 0x00010001u);
  EXPECT_EQ(ep->read4(0, 0x10C), 0x00062011u);
  EXPECT_EQ(ep->read1(0, 0x50), 0u);
  EXPECT_EQ(ep->read4(0, 0x44), 0x00000025u);
  EXPECT_EQ(ep->getFunction(0)->writeMask(0x44, 4), 0u);
  EXPECT_FALSE(ep->isFunction(1));
}

TEST(ScriptParserTest, SectionChecks) {
  parsedScript before;
  parseText("VENDORID = 0x1234\n[Device 1 Function 0]\n", before);
  EXPECT_FALSE(before.ok);
  EXPECT_EQ(before.output, failureOf(before, "Unable to find/create Modifier Data Structure!\n"));
  EXPECT_EQ(before.result, nullptr);
  EXPECT_EQ(before.devices, nullptr);

  parsedScript reserved;
  parseText("[Device 1000 Function 0]\n", reserved);
  EXPECT_FALSE(reserved.ok);
  EXPECT_EQ(reserved.output,
            failureOf(reserved,
                      "Device number specified (1000) is in the reserved region.\n"
                      "Script-specified device numbers must be below 1000.\n"
                      "This can be changed by redefining BASE_SWITCH_DEVICE_NUMBER.\n"));

  parsedScript highest;
  parseText("[Device 999 Function 0]\n", highest);
  EXPECT_TRUE(highest.ok) << highest.output;
  EXPECT_STREQ(highest.devices[0]->GetDevScriptString(), "Script Device 999");

  parsedScript function8;
  parseText("[Device 1 Function 8]\n", function8);
  EXPECT_EQ(function8.output, failureOf(function8, "Function number specified (8) is invalid\n"));

  parsedScript missing;
  parseText("[Device 1 Function 1]\n", missing);
  EXPECT_EQ(missing.output, failureOf(missing, "Device 1 has no Function 0\n"));

  parsedScript unknown;
  parseText("[Device 1 Function 0]\nFrobnicate = 1\n", unknown);
  EXPECT_EQ(unknown.output, failureOf(unknown, "Unknown command: Frobnicate\n"));

  parsedScript ports;
  parseText("NumberPorts = 2\n", ports);
  EXPECT_EQ(ports.output,
            failureOf(ports, "NumberPorts statement on line 1 comes before any [Device] section\n"));
  parsedScript bridgeDot;
  parseText("# x\nBridge.2 = 3,\n", bridgeDot);
  EXPECT_EQ(bridgeDot.output,
            failureOf(bridgeDot, "Bridge statement on line 2 comes before any [Device] section\n"));

  parsedScript open;
  open.path = ::testing::TempDir() + "lattix_no_such_file.test";
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(scriptParser(open.path.c_str(), open.devices, open.connections, open.count,
                            open.result, open.handler));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Unable to open script file " + open.path + "\nUnable to parse script file " +
                open.path + "\n");
  open.path.clear();
}

TEST(ScriptParserTest, SwitchExpansionNumbersPortsAcrossTheScript) {
  parsedScript s;
  parseText(
      "[Device 1 Function 0]\nDeviceType = PCIExpressSwitchSlots\nDEVICEID = 0x0042\n"
      "NumberPorts = 2\n"
      "[Device 2 Function 0]\nDeviceType = PCIExpressSwitch\nNumberPorts = 3\n"
      "Bridge.4 = 7,\n"
      "[Device 5 Function 0]\nDeviceType = PCIExpressEndPoint\nNumberPorts = 4\n"
      "[Device 7 Function 0]\n",
      s);
  ASSERT_TRUE(s.ok) << s.output;
  ASSERT_EQ(s.count, 9);
  const char* const expected[] = {"Script Device 1",    "Script Device 1000",
                                  "Script Device 1001", "Script Device 2",
                                  "Script Device 1002", "Script Device 1003",
                                  "Script Device 1004", "Script Device 5",
                                  "Script Device 7"};
  for (int i = 0; i < 9; ++i) EXPECT_STREQ(s.devices[i]->GetDevScriptString(), expected[i]);
  // Port number 4 of switch 2 is its third port, device 1004.
  EXPECT_EQ(s.byNumber(1004)->getDownstreamBus(0)->getDevice(0), s.byNumber(7));
  EXPECT_EQ(s.byNumber(1000)->read2(0, 0x02), 0x0042u);
  EXPECT_EQ(s.byNumber(1000)->read2(0, 0x00), 0x0000u);
  // Device 5 is no switch: NumberPorts is ignored. Roots: 1, 2, 5.
  EXPECT_FALSE(s.byNumber(5)->isBridge(0));
  EXPECT_EQ(s.root()->getDevice(0), s.byNumber(1));
  EXPECT_EQ(s.root()->getDevice(1), s.byNumber(2));
  EXPECT_EQ(s.root()->getDevice(2), s.byNumber(5));
  EXPECT_EQ(s.root()->getDevice(3), nullptr);
}

TEST(ScriptParserTest, BarSizesAndKinds) {
  parsedScript s;
  parseText(
      "[Device 1 Function 0]\n"
      "Bar1.type = mem32\nBar1.size = 4kb\nBar1.prefetchable = 1\n"
      "Bar2.type = IO\nBar2.size = 256\n"
      "Bar3.type = mem64\nBar3.size = 1mb\nBar3.upper16 = RO\n"
      "Bar5.size = 2gb\nBar5.IgnoreOverlap = 1\n"
      "Bar6.size = 1MB\nBar6.type = mem64\n"
      "OptionRomBar.type = IO\nOptionRomBar.size = 2kb\n",
      s);
  ASSERT_TRUE(s.ok) << s.output;
  device* d = s.devices[0];
  EXPECT_EQ(d->getBar(0, 0x10).size, 20);
  EXPECT_EQ(d->read4(0, 0x10), 0x8u);
  EXPECT_EQ(d->getBar(0, 0x10).flags[3], 1);
  EXPECT_EQ(d->getBar(0, 0x14).size, 24);
  EXPECT_EQ(d->read4(0, 0x14), 0x1u);
  EXPECT_EQ(d->getBar(0, 0x18).size, 44);
  EXPECT_EQ(d->getFunction(0)->writeMask(0x18, 4), 0xFFF00000u);
  EXPECT_EQ(d->getBar(0, 0x20).size, 1);
  EXPECT_EQ(d->getBar(0, 0x20).flags[2], 1);
  // Type after size: the size was taken as 32-bit; the BAR then becomes 64-bit at the
  // last offset, which has no upper register, so it is refused.
  EXPECT_EQ(d->getStatus(), lattix_status::offsetOutOfRange);
  EXPECT_EQ(d->getBar(0, 0x30).size, 21);

  parsedScript tooBig;
  parseText("[Device 1 Function 0]\nBar1.size = 4gb\n", tooBig);
  EXPECT_EQ(tooBig.output, failureOf(tooBig, "Invalid Bar1 statement on line 2\n"));
  parsedScript badUnit;
  parseText("[Device 1 Function 0]\nBar1.size = 4tb\n", badUnit);
  EXPECT_FALSE(badUnit.ok);
  // An unknown key ends the statement; its remainder is read as the next statement.
  parsedScript otherKey;
  parseText("[Device 1 Function 0]\nBar1.colour = 3\n", otherKey);
  EXPECT_EQ(otherKey.output, failureOf(otherKey, "Unknown command: =\n"));
}

TEST(ScriptParserTest, EnablesIdsAspmAndNoResponse) {
  parsedScript s;
  parseText(
      "[Device 1 Function 0]\nMemoryEnable = 2\nIOEnable = 0\nNoResponse = 1\n"
      "REVISIONID = 0x7\nVENDORID = 0x1111\nVENDORID = 0x2222\n"
      "L0S_EXIT_LATENCY = 3\nL1_EXIT_LATENCY = 4\nACCEPTABLE_L0S_LATENCY = 5\n"
      "ACCEPTABLE_L1_LATENCY = 6\nASPM_CONTROL = 3\n"
      "[Device 1 Function 2]\nMemoryEnable = 1\n",
      s);
  ASSERT_TRUE(s.ok) << s.output;
  device* d = s.devices[0];
  EXPECT_TRUE(d->GetExpectedMemEnable(0));
  EXPECT_TRUE(d->GetIgnoreMemEnable(0));
  EXPECT_TRUE(d->GetExpectedMemEnable(2));
  EXPECT_TRUE(d->GetIgnoreMemEnable(2));
  EXPECT_FALSE(d->GetExpectedIOEnable(0));
  EXPECT_FALSE(d->GetIgnoreIOEnable(0));
  EXPECT_TRUE(d->GetNoResponse(0));
  EXPECT_FALSE(d->GetNoResponse(2));
  EXPECT_EQ(d->read1(0, 0x08), 0x07u);
  EXPECT_EQ(d->read2(0, 0x00), 0x2222u);  // a repeated statement overwrites
  EXPECT_EQ(d->getL0sExitLatency(0), 64u << 3);
  EXPECT_EQ(d->getL1ExitLatency(0), 1024u << 4);
  EXPECT_EQ(d->getL0sAcceptableLatency(0), 32u << 5);
  EXPECT_EQ(d->getL1AcceptableLatency(0), 512u << 6);
  EXPECT_TRUE(d->isFunction(2));
  EXPECT_FALSE(d->isBridge(2));
}

TEST(ScriptParserTest, RegisterStatements) {
  parsedScript s;
  parseText(
      "[Device 1 Function 0]\n"
      "REG.3C.8.characteristic = RO\n"
      "REG.200.16.characteristic = RW 00F0\n"
      "REG.204.8.characteristic = RW1C\n"
      "REG.205.8.characteristic = RWS 0F\n"
      "REG.206.8.characteristic = HWINIT\n"
      "REG.207.8.characteristic = rw 00\n"
      "REG.48.16.default = 5 0x00E0\n"
      "REG.210.32.default = 12345678\n",
      s);
  ASSERT_TRUE(s.ok) << s.output;
  device* d = s.devices[0];
  // Default 5 lined up with mask 0xE0: (0x2810 & ~0xE0) | 0xA0.
  EXPECT_EQ(d->read2(0, 0x48), 0x28B0u);
  EXPECT_EQ(d->read4(0, 0x210), 0x12345678u);
  d->write1(0, 0x3C, 0xFF);
  EXPECT_EQ(d->read1(0, 0x3C), 0u);
  d->write2(0, 0x200, 0xFFFF);
  EXPECT_EQ(d->read2(0, 0x200), 0x00F0u);
  d->statusWrite1(0, 0x204, 0x81);
  d->write1(0, 0x204, 0x01);
  EXPECT_EQ(d->read1(0, 0x204), 0x80u);
  d->write1(0, 0x205, 0xFF);
  d->hotReset();
  EXPECT_EQ(d->read1(0, 0x205), 0x0Fu);
  EXPECT_EQ(d->read2(0, 0x48), 0x2810u);  // scripted defaults return to the snapshot
  d->write1(0, 0x206, 0x11);
  d->write1(0, 0x206, 0x22);
  EXPECT_EQ(d->read1(0, 0x206), 0x11u);
  d->write1(0, 0x207, 0x33);  // unknown attribute word: still writable
  EXPECT_EQ(d->read1(0, 0x207), 0x33u);

  parsedScript zero;
  parseText("[Device 1 Function 0]\nREG.48.16.default = 5 0\n", zero);
  EXPECT_EQ(zero.output,
            failureOf(zero, "REG default on line 2 has a mask of 0 and cannot be applied\n"));
  parsedScript width;
  parseText("[Device 1 Function 0]\nREG.48.12.default = 5\n", width);
  EXPECT_EQ(width.output, failureOf(width, "Invalid REG statement on line 2\n"));
  parsedScript beyond;
  parseText("[Device 1 Function 0]\nREG.FFE.32.characteristic = RO\n", beyond);
  EXPECT_FALSE(beyond.ok);
}

TEST(ScriptParserTest, ConnectionsRootsAndFunctions) {
  parsedScript s;
  parseText(
      "[Device 9 Function 0]\n"
      "[Device 4 Function 0]\nBridge = 6, 8,\n"
      "[Device 4 Function 3]\nBridge = 6,\n"
      "[Device 6 Function 0]\n"
      "[Device 2 Function 0]\n",
      s);
  ASSERT_TRUE(s.ok) << s.output;
  ASSERT_EQ(s.count, 4);  // 9, 4, 6, 2; device 8 has no record and is skipped
  EXPECT_EQ(s.connections[1 * 8 + 0][0], 2);
  EXPECT_EQ(s.connections[1 * 8 + 0][1], -1);
  EXPECT_EQ(s.connections[1 * 8 + 3][0], 2);
  EXPECT_EQ(s.connections[4 * 8][0], 0);
  EXPECT_EQ(s.connections[4 * 8][1], 1);
  EXPECT_EQ(s.connections[4 * 8][2], 3);
  EXPECT_EQ(s.connections[4 * 8][3], -1);
  device* four = s.byNumber(4);
  EXPECT_TRUE(four->isBridge(0));
  EXPECT_TRUE(four->isBridge(3));
  EXPECT_EQ(four->getDownstreamBus(3)->getDevice(0), s.byNumber(6));
  EXPECT_EQ(four->getDownstreamBus(0)->getDevice(0), s.byNumber(6));
  EXPECT_EQ(s.root()->getDevice(0), s.byNumber(9));
  EXPECT_EQ(s.root()->getDevice(1), four);
  EXPECT_EQ(s.root()->getDevice(2), s.byNumber(2));
}

TEST(ScriptParserTest, CloneAndCapabilities) {
  parsedScript s;
  parseText(
      "[Device 1 Function 0]\nDeviceType = PCIExpressUpstreamSwitchPort\nPORTNUMBER = 7\n"
      "VENDORID = 0x8086\nREG.3C.8.characteristic = RO\n"
      "[Device 2 Function 0]\nDeviceType = Device 1 Function 0\n"
      "MSI_64.offset = 0x60\nMSI_64.present = 1\nMSI_64.nextcap = 0x0\n"
      "POW.offset = 0x100\naddDeviceSerialNumCap.offset = 0x110\n"
      "VIR_CHA.offset = 0x120\n"
      "[Device 3 Function 0]\nADVANCED_ERROR_REPORTING.present = 1\n",
      s);
  ASSERT_TRUE(s.ok) << s.output;
  device* clone = s.byNumber(2);
  EXPECT_TRUE(clone->isBridge(0));
  EXPECT_EQ(clone->read2(0, 0x00), 0x8086u);
  clone->write1(0, 0x3C, 0xFF);
  EXPECT_EQ(clone->read1(0, 0x3C), 0u);
  EXPECT_EQ(clone->read2(0, 0x62), 0x0080u);
  EXPECT_EQ(clone->findExtendedCapability(0, 4), 0x100);
  EXPECT_EQ(clone->findExtendedCapability(0, 3), 0x110);
  EXPECT_EQ(clone->findExtendedCapability(0, 2), 0x120);
  // A capability without an offset is refused by its builder: the status says so.
  EXPECT_EQ(s.byNumber(3)->getStatus(), lattix_status::offsetOutOfRange);

  parsedScript missing;
  parseText("[Device 2 Function 0]\nDeviceType = Device 5 Function 0\n", missing);
  EXPECT_EQ(missing.output, failureOf(missing, "Unable to clone data to Device 2 Function 0\n"));
  parsedScript badType;
  parseText("[Device 2 Function 0]\nDeviceType = Toaster\n", badType);
  EXPECT_EQ(badType.output, failureOf(badType, "Unknown device type: Toaster\n"));
}

TEST(ScriptParserTest, PortTypesFollowDeviceTypeAndOnlyMultiFunctionDevicesSayMultiFunction) {
  parsedScript s;
  parseText(std::string(kExample) +
                "[Device 5 Function 0]\nDeviceType = PCIExpressLegacyEndPoint\n"
                "[Device 5 Function 1]\n",
            s);
  ASSERT_TRUE(s.ok) << s.output;
  const auto port_type = [&](int index, uint8_t fn) { return (s.devices[index]->read1(fn, 0x42) >> 4) & 0xF; };
  const auto header_type = [&](int index, uint8_t fn) { return s.devices[index]->read1(fn, 0x0E); };
  EXPECT_EQ(port_type(0, 0), 5);  // the switch: upstream port
  EXPECT_EQ(port_type(1, 0), 6);  // its ports: downstream ports
  EXPECT_EQ(port_type(2, 0), 6);
  EXPECT_EQ(port_type(3, 0), 0);  // endpoint
  EXPECT_EQ(port_type(4, 0), 1);  // legacy endpoint
  EXPECT_EQ(header_type(0, 0), 0x01);
  EXPECT_EQ(header_type(1, 0), 0x01);
  EXPECT_EQ(header_type(3, 0), 0x00);
  EXPECT_EQ(header_type(4, 0), 0x80);
  EXPECT_EQ(header_type(4, 1), 0x80);
  s.devices[1]->hotReset();  // wiring, not state: resets keep it
  EXPECT_EQ(port_type(1, 0), 6);
}
