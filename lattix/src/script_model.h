// In-memory records of a topology script while it is read, before objects are built.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lattix/types.h"

namespace lattix_script {

// Script device numbers at or above this are reserved for the ports NumberPorts creates.
constexpr int BASE_SWITCH_DEVICE_NUMBER = 1000;
constexpr int kMaxScriptDeviceNumber = 0xFFFF;
constexpr int kMaxDownstreamDevices = 32;
constexpr int kMaxRootDevices = 31;
// A device listed under several bridges is met once per place in every walk; a hierarchy has
// room for at most 256 buses of 32 devices.
constexpr int kMaxListedPlaces = 256 * 32;

// Modifier kinds: the command codes of the script.
enum modifierKind : int {
  kBar1 = 4,
  kOptionRomBar = 5,
  kL0sExitLatency = 6,
  kL1ExitLatency = 7,
  kL0sAcceptableLatency = 8,
  kL1AcceptableLatency = 9,
  kVendorId = 10,
  kDeviceId = 11,
  kRevisionId = 12,
  kMsi32 = 13,
  kSerialNumber = 14,
  kPowerBudget = 15,
  kAdvancedErrorReporting = 16,
  kVirtualChannel = 17,
  kBar2 = 18,
  kBar3 = 19,
  kBar4 = 20,
  kBar5 = 21,
  kBar6 = 22,
  kMsi64 = 23,
  kNoResponse = 28,
  kAspmControl = 29,
  kRegister = 30,
  kMemoryEnable = 31,
  kIoEnable = 32,
};

// REG attribute words; kUnknownAttribute leaves the modifier without effect.
enum registerAttribute : int {
  kUnknownAttribute = -1,
  kReadOnly,
  kReadWrite,
  kReadWriteSticky,
  kHardwareInit,
  kWriteOneToClear,
  kWriteOneToClearSticky,
};

struct modifier {
  int kind = 0;
  // Value word: IDs, ASPM fields, enables, NoResponse; capability offset for
  // capabilities; register offset for REG.
  uint32_t value = 0;
  barData bar;
  // REG only.
  int width = 0;
  bool isDefault = false;
  int attribute = kUnknownAttribute;
  uint32_t mask = 0xFFFFFFFFu;
  uint32_t registerValue = 0;
};

// Device types of the DeviceType statement.
enum deviceType : int {
  kEndPoint = 1,
  kLegacyEndPoint = 2,
  kUpstreamSwitchPort = 3,
  kDownstreamSwitchPort = 4,
  kDownstreamSwitchPortSlot = 5,
  kDownstreamSwitchPortHotPlugSlot = 6,
  kSwitch = 7,
  kSwitchSlots = 8,
  kSwitchHotPlugSlots = 9,
};

struct functionRecord {
  uint8_t function = 0;
  bool bridge = false;
  int type = kEndPoint;
  int portNumber = 0;
  std::vector<modifier> modifiers;
  std::vector<int> downstream;  // script device numbers, in order given
};

struct deviceRecord {
  int scriptNumber = 0;
  int listIndex = 0;
  bool root = false;
  std::vector<functionRecord> functions;

  functionRecord* findFunction(int fn) {
    for (functionRecord& f : functions)
      if (f.function == fn) return &f;
    return nullptr;
  }
};

struct scriptModel {
  std::vector<deviceRecord> devices;

  // Index of the record with this script number, -1 when there is none.
  int findDevice(int scriptNumber) const {
    for (size_t i = 0; i < devices.size(); ++i)
      if (devices[i].scriptNumber == scriptNumber) return static_cast<int>(i);
    return -1;
  }
};

}  // namespace lattix_script
