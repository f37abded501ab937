// End to end: reference bus numbering of a five-level switch script, then BARs assigned
// through configuration write requests and judged by the overlap check.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "lattix/lattix.h"

namespace {

struct loadedScript {
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* result = nullptr;
  packetHandler* handler = nullptr;
  ~loadedScript() {
    delete handler;
    delete result;
  }
};

// Where the walk finds each script device.
std::map<std::string, address> addressesByScript(const packetHandler& handler) {
  std::map<std::string, address> found;
  for (topologyIterator it(handler.getRequestHandler()); it.getDevice(); it.next())
    found[it.getDevice()->GetDevScriptString()] = it.getAddress();
  return found;
}

// A configuration write of one dword through the packet handler; the value is in register
// order and goes on the wire with configuration byte 0 first.
void writeDword(packetHandler& handler, const address& where, uint16_t offset, uint32_t value) {
  const uint32_t request[4] = {
      (where.type1 ? 0x45u : 0x44u) << 24 | 1u, 0x0000010Fu,
      where.bus << 24 | static_cast<uint32_t>(where.device) << 19 |
          static_cast<uint32_t>(where.function) << 16 | offset,
      __builtin_bswap32(value)};
  uint32_t* completion = handler.handle(request);
  ASSERT_NE(completion, nullptr);
  EXPECT_EQ((completion[1] >> 13) & 7, 0u) << "write to bus " << where.bus;
  releaseCompletion(completion);
}

TEST(EngineEndToEndTest, NumberedFiveLevelSwitchesThenOverlappingBarsAreCaught) {
  loadedScript s;
  ASSERT_TRUE(scriptParser(LATTIX_TESTDATA_DIR "/five_level_switches.test", s.devices,
                           s.connections, s.count, s.result, s.handler));
  busEnumeration(s.handler);
  const busEnumerationError numbering = findBusEnumerationError(s.handler);
  EXPECT_EQ(numbering.errorFound, 0);
  EXPECT_EQ(numbering.busResult, -1);

  std::map<std::string, address> at = addressesByScript(*s.handler);
  // Depth first: the deepest switch's ports get buses 10 and 11, the first switch's
  // second port the last number, 15.
  EXPECT_EQ(at["Script Device 14"].bus, 10u);
  EXPECT_EQ(at["Script Device 15"].bus, 11u);
  EXPECT_EQ(at["Script Device 10"].bus, 15u);
  EXPECT_EQ(at["Script Device 1"].type1, 0);
  EXPECT_EQ(at["Script Device 10"].type1, 1);

  // Every BAR gets an address of its own, except device 14's 64 KB BAR, which lands
  // inside device 10's 1 MB BAR.
  address multi = at["Script Device 11"];
  multi.function = 1;
  writeDword(*s.handler, multi, 0x10, 0xC0000000);
  writeDword(*s.handler, at["Script Device 12"], 0x10, 0x00001000);
  writeDword(*s.handler, at["Script Device 13"], 0x10, 0xD0000000);
  writeDword(*s.handler, at["Script Device 13"], 0x14, 0x00000000);
  writeDword(*s.handler, at["Script Device 10"], 0x10, 0xE0000000);
  writeDword(*s.handler, at["Script Device 14"], 0x10, 0xE0010000);

  overlapDataObj* list = findBarOverlap(s.handler, false);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->getNext(), nullptr);
  const overlapData found = list->getData();
  releaseOverlapList(list);
  // Device 14 comes first in the walk (it is below the first port of every switch).
  EXPECT_STREQ(found.scriptA, "Script Device 14");
  EXPECT_STREQ(found.scriptB, "Script Device 10");
  EXPECT_EQ(found.barA.bus, 10u);
  EXPECT_EQ(found.barA.device, 0);
  EXPECT_EQ(found.barA.offset, 0x10);
  EXPECT_EQ(found.barB.bus, 15u);
  EXPECT_EQ(found.barB.offset, 0x10);
  EXPECT_EQ(found.isMemory, 1);
  EXPECT_EQ(found.aLow, 0xE0010000u);
  EXPECT_EQ(found.bLow, 0xE0000000u);
  EXPECT_EQ(found.result.size, 16);  // 64 KB
  EXPECT_EQ(found.result.low, 0xE0010000u);
  EXPECT_EQ(found.result.is64, 0);

  // Moving device 14's BAR away clears it.
  writeDword(*s.handler, at["Script Device 14"], 0x10, 0xE0100000);
  EXPECT_EQ(findBarOverlap(s.handler, false), nullptr);
}

}  // namespace
