// Tests of the hierarchy walk: order, depths, addresses, copies and the depth limit.
#include "lattix/topology_iterator.h"

#include <gtest/gtest.h>

#include <string>

#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/packet_handler.h"
#include "script_test_support.h"

namespace {

TEST(TopologyIteratorTest, SwitchThenItsDevicesWithTheirDepths) {
  bridge sw;
  sw.statusWrite1(0, 0x19, 5);
  endPoint first, second, last;
  bus below;
  below.setDevice(0, &first);
  below.setDevice(3, &second);
  sw.setDownstreamBus(0, &below);
  bus root;
  root.setDevice(0, &sw);
  root.setDevice(2, &last);
  packetHandler handler(&root);

  topologyIterator it(handler.getRequestHandler());
  EXPECT_EQ(it.getDevice(), &sw);
  EXPECT_EQ(it.getDepth(), 0);
  EXPECT_EQ(it.getAddress().bus, 0u);
  EXPECT_EQ(it.getAddress().type1, 0);
  it.next();
  EXPECT_EQ(it.getDevice(), &first);
  EXPECT_EQ(it.getDepth(), 1);
  EXPECT_EQ(it.getAddress().bus, 5u);
  EXPECT_EQ(it.getAddress().device, 0);
  EXPECT_EQ(it.getAddress().type1, 1);
  topologyIterator inner = it;  // a copy walks on from here independently
  it.next();
  EXPECT_EQ(it.getDevice(), &second);
  EXPECT_EQ(it.getDepth(), 1);
  EXPECT_EQ(it.getAddress().bus, 5u);
  EXPECT_EQ(it.getAddress().device, 3);
  it.next();
  EXPECT_EQ(it.getDevice(), &last);
  EXPECT_EQ(it.getDepth(), 0);
  EXPECT_EQ(it.getAddress().device, 2);
  EXPECT_EQ(it.getAddress().type1, 0);
  it.next();
  EXPECT_EQ(it.getDevice(), nullptr);
  const address over = it.getAddress();
  EXPECT_EQ(over.bus, 0xFFFFFFFFu);
  EXPECT_EQ(over.device, 0xFF);
  EXPECT_EQ(over.function, 0xFF);
  EXPECT_EQ(over.offset, 0xFFFF);
  EXPECT_EQ(over.type1, 0xFF);
  it.next();  // stays over
  EXPECT_EQ(it.getDevice(), nullptr);

  inner.next();
  EXPECT_EQ(inner.getDevice(), &second);
}

TEST(TopologyIteratorTest, EmptyHierarchyAndBridgeWithoutBus) {
  bus empty;
  packetHandler none(&empty);
  EXPECT_EQ(topologyIterator(none.getRequestHandler()).getDevice(), nullptr);
  EXPECT_EQ(topologyIterator(nullptr).getDevice(), nullptr);

  bridge lone;  // no downstream bus
  endPoint after;
  bus root;
  root.setDevice(0, &lone);
  root.setDevice(1, &after);
  packetHandler handler(&root);
  topologyIterator it(handler.getRequestHandler());
  EXPECT_EQ(it.getDevice(), &lone);
  it.next();
  EXPECT_EQ(it.getDevice(), &after);
  EXPECT_EQ(it.getDepth(), 0);
}

// A chain of `count` devices, each a bridge holding the next; the last is an endpoint.
std::string chainScript(int count) {
  std::string text;
  for (int d = 1; d < count; ++d)
    text += "[Device " + std::to_string(d) + " Function 0]\nBridge = " + std::to_string(d + 1) +
            ",\n";
  text += "[Device " + std::to_string(count) + " Function 0]\n";
  return text;
}

TEST(TopologyIteratorTest, HundredLevelsWalkAndDeeperHierarchiesAreRefused) {
  parsedScript deepest;
  parseText(chainScript(topologyIterator::kMaxDepth), deepest);
  ASSERT_TRUE(deepest.ok) << deepest.output;
  int visited = 0;
  int lastDepth = -1;
  for (topologyIterator it(deepest.handler->getRequestHandler()); it.getDevice(); it.next()) {
    EXPECT_EQ(it.getDepth(), visited);
    lastDepth = it.getDepth();
    ++visited;
  }
  EXPECT_EQ(visited, topologyIterator::kMaxDepth);
  EXPECT_EQ(lastDepth, topologyIterator::kMaxDepth - 1);

  parsedScript tooDeep;
  parseText(chainScript(topologyIterator::kMaxDepth + 1), tooDeep);
  EXPECT_FALSE(tooDeep.ok);
  EXPECT_EQ(tooDeep.output,
            failureOf(tooDeep, "Device 101 lies 100 bridges deep; a hierarchy may have at most "
                               "100 levels\n"));
}

}  // namespace
