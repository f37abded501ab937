// Tests of bad scripts: cycles, model limits, garbage bytes, long lines, truncated statements.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "script_test_support.h"

TEST(ScriptRobustnessTest, DevicesBelowThemselvesAreRejected) {
  parsedScript self;
  parseText("[Device 1 Function 0]\nBridge = 1,\n", self);
  EXPECT_EQ(self.output,
            failureOf(self, "Device 1 is listed below itself or below one of its own descendants\n"));
  parsedScript loop;
  parseText(
      "[Device 1 Function 0]\nBridge = 2,\n[Device 2 Function 0]\nBridge = 3,\n"
      "[Device 3 Function 2]\nBridge = 1,\n[Device 3 Function 0]\n[Device 4 Function 0]\n",
      loop);
  EXPECT_EQ(loop.output,
            failureOf(loop, "Device 1 is listed below itself or below one of its own descendants\n"));
  // Through a switch port placed with the dot form.
  parsedScript port;
  parseText(
      "[Device 1 Function 0]\nDeviceType = PCIExpressSwitch\nNumberPorts = 1\nBridge.2 = 1,\n",
      port);
  EXPECT_FALSE(port.ok);
  EXPECT_NE(port.output.find("is listed below itself"), std::string::npos);
  // A device below two bridges is no cycle.
  parsedScript shared;
  parseText("[Device 1 Function 0]\nBridge = 3,\n[Device 2 Function 0]\nBridge = 3,\n"
            "[Device 3 Function 0]\n",
            shared);
  EXPECT_TRUE(shared.ok) << shared.output;
}

TEST(ScriptRobustnessTest, BusLimits) {
  std::string wide = "[Device 1 Function 0]\nBridge = ";
  for (int i = 2; i <= 34; ++i) wide += std::to_string(i) + ",";
  wide += "\n";
  for (int i = 2; i <= 34; ++i) wide += "[Device " + std::to_string(i) + " Function 0]\n";
  parsedScript tooWide;
  parseText(wide, tooWide);
  EXPECT_EQ(tooWide.output,
            failureOf(tooWide, "Unable to add downstream device 34 to Device 1 Function 0\n"));

  std::string roots;
  for (int i = 0; i < 32; ++i) roots += "[Device " + std::to_string(i) + " Function 0]\n";
  parsedScript tooMany;
  parseText(roots, tooMany);
  EXPECT_EQ(tooMany.output,
            failureOf(tooMany, "Too many root devices (32); the root bus takes at most 31\n"));
  parsedScript enough;
  parseText(roots.substr(roots.find('\n') + 1), enough);
  EXPECT_TRUE(enough.ok);

  parsedScript ports;
  parseText("[Device 1 Function 0]\nDeviceType = PCIExpressSwitch\nNumberPorts = 40\n", ports);
  EXPECT_EQ(ports.output,
            failureOf(ports, "NumberPorts value 40 on line 3 is out of range (0 to 32)\n"));
}

// Each device listed twice below the one before it: the walk meets device k in 2^(k-1)
// places. Thirteen devices make 8191 places; fourteen would make 16383, and a few more lines
// a walk that never ends.
TEST(ScriptRobustnessTest, HierarchiesWithMorePlacesThanBusesHoldAreRefused) {
  auto doubledChain = [](int count) {
    std::string text;
    for (int d = 1; d < count; ++d)
      text += "[Device " + std::to_string(d) + " Function 0]\nBridge = " + std::to_string(d + 1) +
              "," + std::to_string(d + 1) + ",\n";
    return text + "[Device " + std::to_string(count) + " Function 0]\n";
  };
  parsedScript fits;
  parseText(doubledChain(13), fits);
  ASSERT_TRUE(fits.ok) << fits.output;
  int walked = 0;
  for (topologyIterator it(fits.handler->getRequestHandler()); it.getDevice(); it.next()) ++walked;
  EXPECT_EQ(walked, 8191);

  parsedScript tooMany;
  parseText(doubledChain(14), tooMany);
  EXPECT_FALSE(tooMany.ok);
  EXPECT_EQ(tooMany.output,
            failureOf(tooMany, "The hierarchy lists devices in more than 8192 places (up to Device "
                               "14); a hierarchy has room for at most 8192\n"));
  parsedScript endless;
  parseText(doubledChain(60), endless);
  EXPECT_FALSE(endless.ok);
  EXPECT_NE(endless.output.find("more than 8192 places (up to Device 14)"), std::string::npos);
}

TEST(ScriptRobustnessTest, LongLinesAndTruncatedStatements) {
  // A command word longer than a field is cut at 255 characters and rejected.
  parsedScript longWord;
  parseText("[Device 1 Function 0]\n" + std::string(5000, 'A') + "\n", longWord);
  EXPECT_EQ(longWord.output, failureOf(longWord, "Unknown command: " + std::string(255, 'A') + "\n"));
  // A long value: the first 255 characters are one field, the rest the next statement.
  parsedScript longValue;
  parseText("[Device 1 Function 0]\nDeviceType = " + std::string(300, 'x') + "\n", longValue);
  EXPECT_EQ(longValue.output,
            failureOf(longValue, "Unknown device type: " + std::string(255, 'x') + "\n"));
  parsedScript longMask;
  parseText("[Device 1 Function 0]\nREG.3C.8.characteristic = RO " + std::string(1000, 'F') + "\n",
            longMask);
  EXPECT_FALSE(longMask.ok);
  // A long comment is skipped whole.
  parsedScript comment;
  parseText("# " + std::string(100000, 'c') + "\n[Device 1 Function 0]\n", comment);
  EXPECT_TRUE(comment.ok) << comment.output;

  const char* const truncated[] = {
      "[Device 1",          "[Device 1 Function",       "[Device 1 Function 0",
      "[Device",            "[Device 1 Function 0]\nBar1.", "[Device 1 Function 0]\nBar1.size =",
      "[Device 1 Function 0]\nREG.44.32", "[Device 1 Function 0]\nREG.44.32.default =",
      "[Device 1 Function 0]\nVENDORID = 0x",       "[Device 1 Function 0]\nDeviceType = Device 1",
      "[Device 1 Function 0]\nMSI_32.offset = ",    "[Device 1 Function 0]\nNumberPorts ="};
  for (const char* text : truncated) {
    parsedScript s;
    parseText(text, s);
    EXPECT_FALSE(s.ok) << text;
    EXPECT_NE(s.output.find("Unable to parse script file"), std::string::npos) << text;
  }
  // CR LF line ends read like LF.
  parsedScript crlf;
  parseText("[Device 1 Function 0]\r\nVENDORID = 0x1234\r\n", crlf);
  ASSERT_TRUE(crlf.ok) << crlf.output;
  EXPECT_EQ(crlf.devices[0]->read2(0, 0), 0x1234u);
}

TEST(ScriptRobustnessTest, GarbageBytesFailCleanly) {
  std::mt19937 random(12345);
  for (int round = 0; round < 50; ++round) {
    std::string bytes(1 + random() % 4000, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    parsedScript s;
    parseText(bytes, s);
    if (!s.ok) {
      EXPECT_NE(s.output.find("Unable to parse script file"), std::string::npos);
    }
  }
  // Valid statements mixed with binary noise.
  parsedScript mixed;
  parseText(std::string("[Device 1 Function 0]\n\x01\x02\xFF\x00garbage\n", 33), mixed);
  EXPECT_FALSE(mixed.ok);
  EXPECT_EQ(mixed.output, failureOf(mixed, "Unknown command: \\x01\\x02\\xFF\\x00garbage\n"));
  // An escape sequence in a device type name is shown, not sent to the terminal.
  parsedScript typed;
  parseText("[Device 1 Function 0]\nDeviceType = \x1b[2J\tEndPoint\n", typed);
  EXPECT_EQ(typed.output, failureOf(typed, "Unknown device type: \\x1B[2J\n"));
}
