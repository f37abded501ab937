// Tests of the enumeration checks: bus numbers, BAR overlaps, windows, enables and ASPM.
#include "lattix/enumeration_checks.h"

#include <gtest/gtest.h>

#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/packet_handler.h"

namespace {

barData bar(int32_t size, uint32_t low, bool memory = true, bool is64 = false, uint32_t high = 0) {
  barData b;
  b.size = size;
  b.low = low;
  b.high = high;
  b.flags[0] = is64 ? 1 : 0;
  b.flags[1] = memory ? 1 : 0;
  return b;
}

void setBusNumbers(device& d, uint8_t fn, uint8_t primary, uint8_t secondary, uint8_t sub) {
  d.statusWrite1(fn, 0x18, primary);
  d.statusWrite1(fn, 0x19, secondary);
  d.statusWrite1(fn, 0x1A, sub);
}

TEST(BusNumberCheckTest, OverlappingRangesGapsAndWrongPrimary) {
  // The first bridge numbers bus 2 below it; the second claims 2 again.
  bridge first, second, firstChild;
  setBusNumbers(first, 0, 0, 1, 2);
  setBusNumbers(firstChild, 0, 1, 2, 2);
  bus firstBelow;
  firstBelow.setDevice(0, &firstChild);
  first.setDownstreamBus(0, &firstBelow);
  setBusNumbers(second, 0, 0, 2, 3);
  bus root;
  root.setDevice(0, &first);
  root.setDevice(1, &second);
  packetHandler handler(&root);
  busEnumerationError e = findBusEnumerationError(&handler);
  EXPECT_EQ(e.errorFound, 1);
  EXPECT_EQ(e.device, 1);
  EXPECT_EQ(e.parentBus, 0);
  EXPECT_FALSE(e.belowRoot);
  EXPECT_EQ(e.busResult, 0);
  EXPECT_EQ(e.primary, 0);
  EXPECT_EQ(e.secondary, 2);
  EXPECT_EQ(e.subordinate, 3);
  setBusNumbers(second, 0, 0, 3, 3);
  e = findBusEnumerationError(&handler);
  EXPECT_EQ(e.errorFound, 0);
  EXPECT_EQ(e.busResult, -1);

  // A bridge 1..3 with nothing below leaves bus 2 unused.
  bridge lone;
  setBusNumbers(lone, 0, 0, 1, 3);
  bus loneRoot;
  loneRoot.setDevice(0, &lone);
  packetHandler gap(&loneRoot);
  e = findBusEnumerationError(&gap);
  EXPECT_EQ(e.errorFound, 0);
  EXPECT_EQ(e.busResult, 2);

  // Below it a bridge 2..3 whose primary is not 1.
  bridge child;
  setBusNumbers(child, 0, 0, 2, 3);
  bus below;
  below.setDevice(4, &child);
  lone.setDownstreamBus(0, &below);
  e = findBusEnumerationError(&gap);
  EXPECT_EQ(e.errorFound, 1);
  EXPECT_EQ(e.parentBus, 1);
  EXPECT_TRUE(e.belowRoot);
  EXPECT_EQ(e.device, 4);
  EXPECT_EQ(e.primary, 0);
  EXPECT_EQ(e.busResult, 0);

  setBusNumbers(child, 0, 1, 2, 3);  // right primary; bus 3 below the child is unused
  e = findBusEnumerationError(&gap);
  EXPECT_EQ(e.errorFound, 0);
  EXPECT_EQ(e.busResult, 3);
  setBusNumbers(child, 0, 1, 2, 4);  // beyond the parent's subordinate
  EXPECT_EQ(findBusEnumerationError(&gap).errorFound, 1);
  setBusNumbers(child, 0, 1, 1, 3);  // secondary not above primary
  EXPECT_EQ(findBusEnumerationError(&gap).errorFound, 1);
  EXPECT_EQ(findBusEnumerationError(nullptr).busResult, -1);
}

TEST(BusNumberCheckTest, GapBelowOneBridgeDoesNotHideALaterSiblingsError) {
  // Two sibling bridges left with subordinate 0xFF: the first has nothing below it (bus
  // numbers 2..0xFF unused there), the second claims numbers the first already holds.
  bridge first, second;
  setBusNumbers(first, 0, 0, 1, 0xFF);
  setBusNumbers(second, 0, 0, 2, 0xFF);
  bus root;
  root.setDevice(0, &first);
  root.setDevice(1, &second);
  packetHandler handler(&root);
  busEnumerationError e = findBusEnumerationError(&handler);
  EXPECT_EQ(e.errorFound, 1);
  EXPECT_EQ(e.device, 1);
  EXPECT_EQ(e.secondary, 2);
  EXPECT_EQ(e.subordinate, 0xFF);
  // Fixed up, the first gap below is still the one reported.
  setBusNumbers(first, 0, 0, 1, 2);
  setBusNumbers(second, 0, 0, 3, 3);
  e = findBusEnumerationError(&handler);
  EXPECT_EQ(e.errorFound, 0);
  EXPECT_EQ(e.busResult, 2);
}

TEST(BarOverlapTest, DetectsOnlyRegionsThatShareAddresses) {
  overlap same = detectBarOverlap(bar(20, 0x1000), bar(20, 0x1000));
  EXPECT_EQ(same.size, 20);
  EXPECT_EQ(detectBarOverlap(bar(20, 0x1000), bar(20, 0x2000)).size, 0);
  // 1 MB at 15 * 2^28 holds a 4 KB BAR 16 KB above it.
  overlap inside = detectBarOverlap(bar(12, 0xF0000000), bar(20, 0xF0004000));
  EXPECT_EQ(inside.size, 20);
  EXPECT_EQ(inside.low, 0xF0004000u);
  EXPECT_EQ(inside.is64, 0);
  EXPECT_EQ(detectBarOverlap(bar(20, 0xF0004000), bar(12, 0xF0000000)).low, 0xF0004000u);
  // I/O and memory at the same number are different spaces; I/O with I/O overlaps.
  EXPECT_EQ(detectBarOverlap(bar(24, 0x1000, false), bar(24, 0x1000)).size, 0);
  EXPECT_EQ(detectBarOverlap(bar(24, 0x1000, false), bar(28, 0x1010, false)).size, 28);
  barData ignored = bar(20, 0x1000);
  ignored.flags[2] = 1;
  EXPECT_EQ(detectBarOverlap(ignored, bar(20, 0x1000)).size, 0);
  // Unassigned BARs at 0 overlap; unimplemented ones never do.
  EXPECT_EQ(detectBarOverlap(bar(20, 0), bar(12, 0)).size, 20);
  EXPECT_EQ(detectBarOverlap(bar(-1, 0), bar(12, 0)).size, 0);
  EXPECT_EQ(detectBarOverlap(bar(0, 0), bar(12, 0)).size, 0);
  // 64-bit form: the upper words must agree; a 32-bit BAR counts as upper word 0.
  overlap wide = detectBarOverlap(bar(44, 0xE0000000, true, true, 0), bar(20, 0xE0001000));
  EXPECT_EQ(wide.size, 52);
  EXPECT_EQ(wide.is64, 1);
  EXPECT_EQ(wide.low, 0xE0001000u);
  EXPECT_EQ(detectBarOverlap(bar(44, 0xE0000000, true, true, 1), bar(20, 0xE0001000)).size, 0);
  // An 8 GB BAR (31 address bits) at 2^33 holds 1 MB at 2^33 + 2^32.
  EXPECT_EQ(detectBarOverlap(bar(31, 0, true, true, 2), bar(44, 0x100000, true, true, 3)).size, 44);
  EXPECT_EQ(detectBarOverlap(bar(31, 0, true, true, 2), bar(44, 0x100000, true, true, 4)).size, 0);
}

TEST(BarOverlapTest, WalkReportsBothBarsInOrderAndStopsWhenAsked) {
  endPoint a, b;
  a.SetDevScriptString("Script Device 7");
  b.SetDevScriptString("Script Device 8");
  a.setBar(0, 0x10, bar(20, 0xA0000000));
  a.setBar(0, 0x14, bar(20, 0xA0001000));
  b.setBar(0, 0x18, bar(20, 0xA0000000));
  b.setBar(0, 0x1C, bar(12, 0xA0000000));
  a.SetBusNum(0);
  a.SetDevNum(3);
  b.SetDevNum(4);
  bus root;
  root.setDevice(3, &a);
  root.setDevice(4, &b);
  packetHandler handler(&root);
  overlapDataObj* list = findBarOverlap(&handler, false);
  ASSERT_NE(list, nullptr);
  // a@10 with b@18, a@10 with b@1C, a@14 with b@1C, b@18 with b@1C.
  int count = 0;
  for (const overlapDataObj* n = list; n; n = n->getNext()) ++count;
  EXPECT_EQ(count, 4);
  const overlapData first = list->getData();
  EXPECT_EQ(first.barA.device, 3);
  EXPECT_EQ(first.barA.offset, 0x10);
  EXPECT_EQ(first.barB.device, 4);
  EXPECT_EQ(first.barB.offset, 0x18);
  EXPECT_STREQ(first.scriptA, "Script Device 7");
  EXPECT_STREQ(first.scriptB, "Script Device 8");
  const overlapData last = list->getNext()->getNext()->getNext()->getData();
  EXPECT_EQ(last.barA.offset, 0x18);
  EXPECT_EQ(last.barB.offset, 0x1C);
  releaseOverlapList(list);

  overlapDataObj* one = findBarOverlap(&handler, true);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->getNext(), nullptr);
  releaseOverlapList(one);
}

TEST(BarOverlapTest, ADeviceListedInManyPlacesIsComparedOnce) {
  // One endpoint listed in 30 slots of the root bus, another device beside it: its BAR
  // meets itself once and the other device's BAR once, not once per pair of places.
  endPoint shared, other;
  shared.setBar(0, 0x10, bar(12, 0xB0000000));  // 1 MB
  shared.SetDevNum(2);
  other.setBar(0, 0x10, bar(20, 0xB0004000));  // 4 KB inside it
  other.setBar(0, 0x14, bar(20, 0xC0000000));
  other.SetDevNum(31);
  bus root;
  for (uint8_t slot = 0; slot < 30; ++slot) root.setDevice(slot, &shared);
  root.setDevice(31, &other);
  packetHandler handler(&root);
  overlapDataObj* list = findBarOverlap(&handler, false);
  ASSERT_NE(list, nullptr);
  const overlapData self = list->getData();
  EXPECT_EQ(self.barA.device, 2);
  EXPECT_EQ(self.barB.device, 2);
  EXPECT_EQ(self.barA.offset, 0x10);
  EXPECT_EQ(self.barB.offset, 0x10);
  EXPECT_EQ(self.result.size, 12);
  ASSERT_NE(list->getNext(), nullptr);
  const overlapData pair = list->getNext()->getData();
  EXPECT_EQ(pair.barA.device, 2);
  EXPECT_EQ(pair.barB.device, 31);
  EXPECT_EQ(pair.result.size, 20);
  EXPECT_EQ(pair.result.low, 0xB0004000u);
  EXPECT_EQ(list->getNext()->getNext(), nullptr);
  releaseOverlapList(list);

  // Listed once, the same device overlaps only the other one.
  for (uint8_t slot = 1; slot < 30; ++slot) root.setDevice(slot, nullptr);
  list = findBarOverlap(&handler, false);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->getData().barB.device, 31);
  EXPECT_EQ(list->getNext(), nullptr);
  releaseOverlapList(list);
}

TEST(BarOverlapTest, LongListsAppendAndReleaseWithoutRecursion) {
  overlapData data;
  overlapDataObj* list = new overlapDataObj(data);
  for (int i = 1; i < 200000; ++i) {
    data.aLow = static_cast<uint32_t>(i);
    list->addData(data);
  }
  const overlapDataObj* n = list;
  for (int i = 0; i < 199999; ++i) n = n->getNext();
  EXPECT_EQ(n->getData().aLow, 199999u);
  EXPECT_EQ(n->getNext(), nullptr);
  releaseOverlapList(list);
}

// A root bridge with a memory window 0x80000000..0x801FFFFF and a prefetchable window
// 0x1_00000000..0x1_000FFFFF, an endpoint below it.
class BridgeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    top.statusWrite2(0, 0x20, 0x8000);
    top.statusWrite2(0, 0x22, 0x8010);
    top.statusWrite2(0, 0x24, 0x0001);
    top.statusWrite2(0, 0x26, 0x0001);
    top.statusWrite4(0, 0x28, 1);
    top.statusWrite4(0, 0x2C, 1);
    top.SetDevScriptString("Script Device 1");
    ep.SetDevScriptString("Script Device 2");
    below.setDevice(0, &ep);
    top.setDownstreamBus(0, &below);
    root.setDevice(0, &top);
  }
  bridge top;
  endPoint ep;
  bus root, below;
  packetHandler handler{&root};
};

TEST_F(BridgeWindowTest, BarsInsideAndOutside) {
  ep.setBar(0, 0x10, bar(20, 0x80100000));
  EXPECT_FALSE(FindBridgeWindowError(&handler, MEM_WINDOW, false).errorFound);
  ep.setBar(0, 0x10, bar(20, 0x80200000));
  _BRIDGE_WINDOW_ERROR_INFO e = FindBridgeWindowError(&handler, MEM_WINDOW, false);
  EXPECT_TRUE(e.errorFound);
  EXPECT_TRUE(e.barOutside);
  EXPECT_FALSE(e.childWindowOutside);
  EXPECT_EQ(e.windowBase, 0x80000000u);
  EXPECT_EQ(e.windowLimit, 0x801FFFFFu);
  EXPECT_EQ(e.barOffset, 0x10u);
  EXPECT_EQ(e.barStart, 0x80200000u);
  EXPECT_EQ(e.barEnd, 0x80200FFFu);
  EXPECT_STREQ(e.bridgeScript, "Script Device 1");
  EXPECT_STREQ(e.deviceScript, "Script Device 2");
  // A BAR that starts inside and runs past the limit.
  ep.setBar(0, 0x10, bar(11, 0x80000000));  // 2 MB at the base fits exactly
  EXPECT_FALSE(FindBridgeWindowError(&handler, MEM_WINDOW, false).errorFound);
  ep.setBar(0, 0x10, bar(10, 0x80000000));  // 4 MB does not
  EXPECT_TRUE(FindBridgeWindowError(&handler, MEM_WINDOW, false).barOutside);
  // I/O BARs are judged against the I/O window only.
  EXPECT_FALSE(FindBridgeWindowError(&handler, IO_WINDOW, false).errorFound);
  ep.setBar(0, 0x14, bar(24, 0x2000, false));
  top.statusWrite1(0, 0x1C, 0x10);
  top.statusWrite1(0, 0x1D, 0x10);  // I/O window 0x1000..0x1FFF
  e = FindBridgeWindowError(&handler, IO_WINDOW, false);
  EXPECT_TRUE(e.barOutside);
  EXPECT_EQ(e.barOffset, 0x14u);
}

TEST_F(BridgeWindowTest, PrefetchableBarsWithAndWithoutTheFlag) {
  barData prefetchable = bar(44, 0x8, true, true, 1);  // 1 MB at 0x1_00000000
  ep.setBar(0, 0x10, prefetchable);
  EXPECT_TRUE(FindBridgeWindowError(&handler, MEM_WINDOW, false).barOutside);
  EXPECT_FALSE(FindBridgeWindowError(&handler, MEM_WINDOW, true).errorFound);
  _BRIDGE_WINDOW_ERROR_INFO e = FindBridgeWindowError(&handler, PREFETCH_WINDOW, true);
  EXPECT_FALSE(e.errorFound);
  ep.write4(0, 0x10, 0x00100000);  // 0x1_00100000: past the prefetchable limit
  e = FindBridgeWindowError(&handler, PREFETCH_WINDOW, true);
  EXPECT_TRUE(e.barOutside);
  // The record holds the raw prefetchable registers, as GetBridgeWindowInfo gives them.
  EXPECT_EQ(e.windowBase, 0x0001u);
  EXPECT_EQ(e.windowLimit, 0x0001u);
  EXPECT_EQ(e.windowBaseUpper, 1u);
  EXPECT_EQ(e.windowLimitUpper, 1u);
  EXPECT_EQ(e.barStart, 0x00100000u);
  EXPECT_EQ(e.barStartUpper, 1u);
  EXPECT_FALSE(e.endWrapped);
}

TEST_F(BridgeWindowTest, ChildWindowsEmptyInsideAndOutside) {
  bridge child;
  child.SetDevScriptString("Script Device 3");
  below.setDevice(1, &child);
  child.statusWrite2(0, 0x20, 0xFFF0);  // empty: base above limit
  child.statusWrite2(0, 0x22, 0x0000);
  EXPECT_FALSE(FindBridgeWindowError(&handler, MEM_WINDOW, false).errorFound);
  child.statusWrite2(0, 0x20, 0x8010);
  child.statusWrite2(0, 0x22, 0x8010);
  EXPECT_FALSE(FindBridgeWindowError(&handler, MEM_WINDOW, false).errorFound);
  child.statusWrite2(0, 0x22, 0x8020);
  _BRIDGE_WINDOW_ERROR_INFO e = FindBridgeWindowError(&handler, MEM_WINDOW, false);
  EXPECT_TRUE(e.childWindowOutside);
  EXPECT_FALSE(e.barOutside);
  EXPECT_EQ(e.childBase, 0x80100000u);
  EXPECT_EQ(e.childLimit, 0x802FFFFFu);
  EXPECT_STREQ(e.deviceScript, "Script Device 3");
  // The child's own window is then checked against what is below it.
  child.statusWrite2(0, 0x22, 0x8010);
  endPoint grandchild;
  grandchild.setBar(0, 0x10, bar(20, 0x80000000));
  bus lower;
  lower.setDevice(0, &grandchild);
  child.setDownstreamBus(0, &lower);
  e = FindBridgeWindowError(&handler, MEM_WINDOW, false);
  EXPECT_TRUE(e.barOutside);
  EXPECT_EQ(e.windowBase, 0x80100000u);
}

TEST_F(BridgeWindowTest, PrefetchableChildWindowIsComparedDecodedAndReportedRaw) {
  bridge child;
  below.setDevice(1, &child);
  // Child 0x1_00000000..0x1_000FFFFF: inside the parent's prefetchable window.
  child.statusWrite2(0, 0x24, 0x0001);
  child.statusWrite2(0, 0x26, 0x0001);
  child.statusWrite4(0, 0x28, 1);
  child.statusWrite4(0, 0x2C, 1);
  EXPECT_FALSE(FindBridgeWindowError(&handler, PREFETCH_WINDOW, false).errorFound);
  // Child limit 0x1_001FFFFF: one megabyte past the parent's limit.
  child.statusWrite2(0, 0x26, 0x0011);
  _BRIDGE_WINDOW_ERROR_INFO e = FindBridgeWindowError(&handler, PREFETCH_WINDOW, false);
  EXPECT_TRUE(e.childWindowOutside);
  EXPECT_EQ(e.windowBase, 0x0001u);
  EXPECT_EQ(e.windowLimit, 0x0001u);
  EXPECT_EQ(e.childBase, 0x0001u);
  EXPECT_EQ(e.childLimit, 0x0011u);
  EXPECT_EQ(e.childBaseUpper, 1u);
  EXPECT_EQ(e.childLimitUpper, 1u);
}

TEST(EnableChecksTest, CommandEnablesAndAspmControl) {
  endPoint ep;
  ep.SetDevScriptString("Script Device 5");
  ep.SetBusNum(3);
  ep.SetDevNum(1);
  bus root;
  root.setDevice(0, &ep);
  packetHandler handler(&root);
  std::vector<_MEM_IO_ENABLE_FAIL_DATA>* enables = nullptr;
  FindMemIOEnables(&handler, &enables, true, true);
  ASSERT_NE(enables, nullptr);
  ASSERT_EQ(enables->size(), 2u);
  EXPECT_TRUE((*enables)[0].ioFailure);
  EXPECT_FALSE((*enables)[0].actualEnable);
  EXPECT_TRUE((*enables)[0].expectedEnable);
  EXPECT_TRUE((*enables)[1].memFailure);
  EXPECT_EQ((*enables)[1].bus, 3u);
  EXPECT_EQ((*enables)[1].device, 1);
  EXPECT_STREQ((*enables)[1].script, "Script Device 5");
  ep.write1(0, 0x04, 0x02);  // memory on, I/O still off but ignored
  ep.SetIgnoreIOEnable(0, true);
  FindMemIOEnables(&handler, &enables, true, true);
  EXPECT_TRUE(enables->empty());
  ep.SetIgnoreIOEnable(0, false);
  FindMemIOEnables(&handler, &enables, false, true);
  EXPECT_TRUE(enables->empty());

  std::vector<_ASPM_ENABLE_FAIL_DATA>* aspm = nullptr;
  FindASPMEnables(&handler, &aspm);
  ASSERT_NE(aspm, nullptr);
  EXPECT_TRUE(aspm->empty());
  ep.setASPMControl(0, 2);
  FindASPMEnables(&handler, &aspm);
  ASSERT_EQ(aspm->size(), 1u);
  EXPECT_EQ((*aspm)[0].aspmControl, 2u);
  EXPECT_STREQ((*aspm)[0].script, "Script Device 5");
}

// A switch whose function 0 has L0s enabled (exit 256 ns) above an endpoint whose own L0s
// exit is 128 ns.
TEST(AspmAnalysisTest, LatenciesAddUpDownTheHierarchy) {
  bridge sw;
  sw.statusWrite1(0, 0x19, 1);
  sw.setL0sExitLatency(0, 2);
  sw.setASPMControl(0, 1);
  sw.setL0sAcceptableLatency(0, 7);
  endPoint ep;
  ep.setL0sExitLatency(0, 1);
  ep.setASPMControl(0, 1);
  ep.setL0sAcceptableLatency(0, 3);  // 256 ns < 128 + 256
  bus below, root;
  below.setDevice(0, &ep);
  sw.setDownstreamBus(0, &below);
  root.setDevice(0, &sw);
  packetHandler handler(&root);
  aspmErrorObj* errors = findAspmError(&handler);
  ASSERT_NE(errors, nullptr);
  EXPECT_EQ(errors->l0s, 1);
  EXPECT_EQ(errors->cumulatedLatency, 384u);
  EXPECT_EQ(errors->acceptableLatency, 256u);
  EXPECT_EQ(errors->next, nullptr);
  releaseAspmErrorList(errors);

  ep.setL0sAcceptableLatency(0, 4);  // 512 ns is enough
  EXPECT_EQ(findAspmError(&handler), nullptr);
  // L1 on the endpoint: exit 1024 ns, acceptable 512 ns.
  ep.setASPMControl(0, 3);
  errors = findAspmError(&handler);
  ASSERT_NE(errors, nullptr);
  EXPECT_EQ(errors->l0s, 0);
  EXPECT_EQ(errors->cumulatedLatency, 1024u);
  EXPECT_EQ(errors->acceptableLatency, 512u);
  releaseAspmErrorList(errors);
}

TEST(AspmAnalysisTest, PossibleEnablesLeaveLinkControlAsItWas) {
  endPoint tolerant, strict;
  tolerant.setL0sAcceptableLatency(0, 7);  // 4096 ns
  tolerant.SetDevNum(0);
  strict.SetDevNum(1);  // acceptable 32 ns, exit 2048 ns when enabled
  bus root;
  root.setDevice(0, &tolerant);
  root.setDevice(1, &strict);
  packetHandler handler(&root);
  addressList* possible = findPossibleL0sEnables(&handler);
  ASSERT_NE(possible, nullptr);
  EXPECT_EQ(possible->where.device, 0);
  EXPECT_EQ(possible->next, nullptr);
  releaseAddressList(possible);
  uint32_t control = 9;
  EXPECT_FALSE(tolerant.GetASPMControl(0, &control));
  EXPECT_EQ(control, 0u);
  EXPECT_FALSE(strict.GetASPMControl(0, &control));
  EXPECT_EQ(control, 0u);
  // L1 exit 1024 ns exceeds the default 512 ns for both.
  EXPECT_EQ(findPossibleL1Enables(&handler), nullptr);
  tolerant.setL1AcceptableLatency(0, 2);  // 2048 ns
  possible = findPossibleL1Enables(&handler);
  ASSERT_NE(possible, nullptr);
  EXPECT_EQ(possible->where.device, 0);
  releaseAddressList(possible);
}

// A device listed in several places is tried once and reported at every place.
TEST(AspmAnalysisTest, PossibleEnablesOfASharedDeviceAtEachPlace) {
  endPoint tolerant, strict;
  tolerant.setL0sAcceptableLatency(0, 7);  // 4096 ns
  tolerant.SetDevNum(4);
  strict.SetDevNum(1);
  bus root;
  root.setDevice(0, &tolerant);
  root.setDevice(1, &strict);
  root.setDevice(2, &tolerant);
  packetHandler handler(&root);
  addressList* possible = findPossibleL0sEnables(&handler);
  int places = 0;
  for (addressList* at = possible; at; at = at->next) {
    EXPECT_EQ(at->where.device, 4);
    ++places;
  }
  EXPECT_EQ(places, 2);
  releaseAddressList(possible);
  uint32_t control = 9;
  EXPECT_FALSE(tolerant.GetASPMControl(0, &control));
  EXPECT_EQ(control, 0u);
  // Enabled L0s on the strict one breaks it; on the shared one it breaks nothing.
  strict.setL0sAcceptableLatency(0, 7);
  strict.setL0sExitLatency(0, 7);
  tolerant.setL0sAcceptableLatency(0, 0);
  EXPECT_EQ(findPossibleL0sEnables(&handler), nullptr);
}

}  // namespace
