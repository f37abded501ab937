// Simulated devices: the device base class with up to eight functions, endpoints, bridges.
//
// Conventions:
// - Function numbers are 0..7, configuration offsets 0..0xFFF. Register accessors on a
//   function that does not exist read 0 and write nothing.
// - A device owns its configuration spaces (shared between shallow copies: a copied
//   device refers to the same spaces). Spaces passed to the adopting constructors
//   become owned by the device. Downstream buses are not owned.
// - Builders return nothing; their outcome is the device status (getStatus), using the
//   values of lattix/status.h.
// - Walks below a bridge are bounded by kMaxHierarchyDepth, so a hierarchy that lists a
//   device below itself cannot recurse without end.
#pragma once

#include <cstdint>
#include <memory>

#include "lattix/config_space.h"
#include "lattix/lattix_export.h"
#include "lattix/types.h"

class bus;

class LATTIX_API device {
 public:
  static constexpr int kMaxFunctions = 8;
  static constexpr int kScriptStringSize = 255;
  // Deepest chain of bridges a reset or walk follows; deeper levels are left alone.
  static constexpr int kMaxHierarchyDepth = 256;

  device();
  device(const device& other);
  device& operator=(const device& other);
  virtual ~device();

  // Register access.
  uint8_t read1(uint8_t fn, uint16_t offset) const;
  uint16_t read2(uint8_t fn, uint16_t offset) const;
  uint32_t read4(uint8_t fn, uint16_t offset) const;
  virtual void write1(uint8_t fn, uint16_t offset, uint8_t value);
  virtual void write2(uint8_t fn, uint16_t offset, uint16_t value);
  virtual void write4(uint8_t fn, uint16_t offset, uint32_t value);
  virtual void statusWrite1(uint8_t fn, uint16_t offset, uint8_t value);
  virtual void statusWrite2(uint8_t fn, uint16_t offset, uint16_t value);
  virtual void statusWrite4(uint8_t fn, uint16_t offset, uint32_t value);
  virtual void hotReset();
  virtual void coldReset();
  // Hot or cold reset of this device and, below bridges, of the devices under it;
  // depth counts the bridges above, and nothing deeper than kMaxHierarchyDepth is reset.
  virtual void resetTree(bool hot, int depth);

  bool isFunction(uint8_t fn) const { return getFunction(fn) != nullptr; }
  // Inline: routing looks up every function of every device on each bus a request crosses.
  configSpace* getFunction(uint8_t fn) const { return fn < kMaxFunctions ? functions_[fn].get() : nullptr; }
  bool isBridge(uint8_t fn) const;

  // Raw bridge header registers.
  uint8_t getPrimaryBus(uint8_t fn) const;
  uint8_t getSecondaryBus(uint8_t fn) const;
  uint8_t getSubordinateBus(uint8_t fn) const;
  uint8_t getIOBase(uint8_t fn) const;
  uint8_t getIOLimit(uint8_t fn) const;
  uint16_t getMemBase(uint8_t fn) const;
  uint16_t getMemLimit(uint8_t fn) const;
  uint16_t getPrefetchMemBase(uint8_t fn) const;
  uint16_t getPrefetchMemLimit(uint8_t fn) const;
  uint32_t getPrefetchMemBaseUpper32(uint8_t fn) const;
  uint32_t getPrefetchMemLimitUpper32(uint8_t fn) const;
  uint16_t getIOBaseUpper16(uint8_t fn) const;
  uint16_t getIOLimitUpper16(uint8_t fn) const;

  bool GetMemEnable(uint8_t fn) const;
  bool GetIOEnable(uint8_t fn) const;

  // Header flags of a function.
  void SetExpectedMemEnable(uint8_t fn, bool value);
  bool GetExpectedMemEnable(uint8_t fn) const;
  void SetExpectedIOEnable(uint8_t fn, bool value);
  bool GetExpectedIOEnable(uint8_t fn) const;
  void SetIgnoreMemEnable(uint8_t fn, bool value);
  bool GetIgnoreMemEnable(uint8_t fn) const;
  void SetIgnoreIOEnable(uint8_t fn, bool value);
  bool GetIgnoreIOEnable(uint8_t fn) const;
  void SetNoResponse(uint8_t fn, bool value);
  bool GetNoResponse(uint8_t fn) const;

  void setRTWD(bool value);
  bool respondToWrongDevice() const;
  int getStatus() const;
  void setStatus(int value);
  void SetBusNum(uint32_t value);
  uint32_t GetBusNum() const;
  void SetDevNum(uint8_t value);
  uint8_t GetDevNum() const;
  // Copies at most kScriptStringSize - 1 characters.
  void SetDevScriptString(const char* text);
  const char* GetDevScriptString() const;

  void setDownstreamBus(uint8_t fn, bus* downstream);
  bus* getDownstreamBus(uint8_t fn) const;
  // Routing below bridge function fn: the device that a request for `where` reaches on
  // the downstream bus (turned into Type 0 when its bus is the secondary bus), or null.
  device* findDevice(uint8_t fn, address where);

  void setVendorID(uint8_t fn, uint16_t value);
  void setDeviceID(uint8_t fn, uint16_t value);
  void setRevisionID(uint8_t fn, uint8_t value);

  // Offset of the capability with this ID in the list from 0x34, 0 when absent.
  uint8_t findCapability(uint8_t fn, uint8_t id) const;
  // Offset of the extended capability with this ID in the chain from 0x100, 0 when absent.
  uint16_t findExtendedCapability(uint8_t fn, uint16_t id) const;

  // BARs (offsets 0x10..0x24) and the expansion ROM BAR.
  void setBar(uint8_t fn, uint16_t offset, barData data);
  void setERomBar(uint8_t fn, barData data);
  barData getBar(uint8_t fn, uint16_t offset) const;
  // Always true; outputs untouched when the function is not a bridge.
  bool GetBridgeWindowInfo(uint8_t fn, _BRIDGE_WINDOW_TYPE type, uint32_t* base,
                           uint32_t* limit, uint32_t* baseUpper, uint32_t* limitUpper) const;

  // ASPM fields of the PCI Express capability. GetASPMControl returns false when the
  // capability exists (and fills *out), true when it does not.
  bool GetASPMControl(uint8_t fn, uint32_t* out) const;
  void setASPMControl(uint8_t fn, uint8_t value);
  uint32_t getL0sExitLatency(uint8_t fn) const;
  uint32_t getL1ExitLatency(uint8_t fn) const;
  uint32_t getL0sAcceptableLatency(uint8_t fn) const;
  uint32_t getL1AcceptableLatency(uint8_t fn) const;
  void setL0sExitLatency(uint8_t fn, uint8_t value);
  void setL1ExitLatency(uint8_t fn, uint16_t value);
  void setL0sAcceptableLatency(uint8_t fn, uint16_t value);
  void setL1AcceptableLatency(uint8_t fn, uint8_t value);

  // Builders.
  void addFunction(uint8_t fn, int kind);
  void addGroup(uint8_t fn, uint32_t startBit, uint32_t endBit, const uint32_t* values,
                uint32_t count);
  void addMsiCap(uint8_t fn, uint8_t offset, uint8_t vectorCount, bool is64Bit);
  void addDeviceSerialNumCap(uint8_t fn, uint16_t offset, uint32_t low, uint32_t high);
  void addPowerBudgetCap(uint8_t fn, uint16_t offset, uint32_t data);
  void addAdvErrorReportCap(uint8_t fn, uint16_t offset);
  void addVirtualChannelCap(uint8_t fn, uint16_t offset);

  // Bytes of memory held by the implemented functions.
  size_t memoryUsage() const;

 protected:
  // Adopts up to eight existing spaces (index = function number).
  device(configSpace* const* spaces, int count, double value);
  // Resets every implemented function.
  void resetFunctions(bool hot);
  // Resets the devices on the downstream buses of this device's bridge functions.
  void resetBelow(bool hot, int depth);

 private:
  // Common checks of the capability builders; null when they fail (status set).
  configSpace* capabilityTarget(uint8_t fn, uint32_t offset);
  bool linkExtendedCapability(configSpace* space, uint16_t offset, uint16_t id);
  uint8_t expressCapability(uint8_t fn) const;

  std::shared_ptr<configSpace> functions_[kMaxFunctions];
  double constructorValue_ = 0.0;
  uint32_t busNumber_ = 0;
  uint8_t deviceNumber_ = 0;
  char scriptString_[kScriptStringSize] = {};
  int status_ = 0;
  bool respondToWrongDevice_ = false;
  bus* downstream_[kMaxFunctions] = {};
};

class LATTIX_API endPoint : public device {
 public:
  // Function 0 from the endpoint template.
  endPoint();
  endPoint(configSpace* const* spaces, int count, bool respondToWrongDevice, double value);
  endPoint(configSpace* const* spaces, int count);
  void hotReset() override;
  void coldReset() override;
};

class LATTIX_API bridge : public device {
 public:
  // Function 0 from the bridge template.
  bridge();
  bridge(configSpace* const* spaces, int count, bus* downstream, double value);
  bridge(configSpace* const* spaces, int count);
  // Ordinary writes; a write to function 0 that sets the secondary bus reset bit
  // (byte 0x3E bit 6) hot-resets every device on function 0's downstream bus.
  void write1(uint8_t fn, uint16_t offset, uint8_t value) override;
  void write2(uint8_t fn, uint16_t offset, uint16_t value) override;
  void write4(uint8_t fn, uint16_t offset, uint32_t value) override;
  void hotReset() override;
  void coldReset() override;

  void resetTree(bool hot, int depth) override;

 private:
  void secondaryBusResetIfSet(uint8_t fn, uint16_t offset, int width, uint32_t value);
};
