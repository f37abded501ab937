// Reference bus numbering: a depth-first walk that programs bridges through requests.
#include "lattix/enumeration_checks.h"
#include "lattix/packet_handler.h"
#include "lattix/pci_regs.h"
#include "lattix/status.h"
#include "lattix/topology_iterator.h"

namespace {

constexpr int kLastBusNumber = 255;
constexpr int kDeviceNumbers = 32;

class busNumbering {
 public:
  explicit busNumbering(requestHandler& requests) : requests_(requests) {}

  // Numbers every bus below `busNumber`; depth counts the bridges above it.
  void numberBus(uint32_t busNumber, int depth) {
    for (uint8_t dev = 0; dev < kDeviceNumbers; ++dev) {
      const address where{busNumber, dev, 0, LX_VENDOR_ID, static_cast<uint8_t>(depth > 0)};
      uint32_t data = 0;
      // The first device number that does not answer ends this bus.
      if (requests_.perform(where, false, 0xF, data) < 0) return;
      address header = where;
      header.offset = 0x0C;
      requests_.perform(header, false, 0xF, data);
      if (((data >> 16) & LX_HEADER_TYPE_MASK) == 0) continue;  // function 0 not a bridge
      // Bus registers are bytes: once 255 is given out, further bridges stay unnumbered.
      // The walk keeps to the levels a hierarchy may have.
      if (lastGiven_ >= kLastBusNumber || depth + 1 >= topologyIterator::kMaxDepth) continue;
      const uint32_t secondary = static_cast<uint32_t>(++lastGiven_);
      address buses = where;
      buses.offset = LX_PRIMARY_BUS;
      writeByte(buses, 0, busNumber);
      writeByte(buses, 1, secondary);
      // Open the whole range below while numbering it, so Type 1 requests reach it.
      writeByte(buses, 2, kLastBusNumber);
      numberBus(secondary, depth + 1);
      writeByte(buses, 2, static_cast<uint32_t>(lastGiven_));
    }
  }

 private:
  void writeByte(const address& dword, int byteIndex, uint32_t value) {
    uint32_t data = value << (8 * byteIndex);
    requests_.perform(dword, true, static_cast<uint8_t>(1u << byteIndex), data);
  }

  requestHandler& requests_;
  int lastGiven_ = 0;
};

}  // namespace

void busEnumeration(packetHandler* handler) {
  requestHandler* requests = handler ? handler->getRequestHandler() : nullptr;
  if (!requests) return;
  busNumbering(*requests).numberBus(0, 0);
}
