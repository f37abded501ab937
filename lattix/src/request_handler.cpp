// Request handler: routes a configuration request and performs it on the target function.
#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/packet_handler.h"
#include "lattix/status.h"
#include "byte_enables.h"
#include "routing.h"

namespace {

uint32_t byteMask(int width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

void writeEnabledBytes(device& target, uint8_t fn, uint16_t offset, uint8_t enables,
                       uint32_t data) {
  for (const lattix_byte_enables::access& step : lattix_byte_enables::kPlans[enables & 0xF].steps) {
    const uint16_t at = static_cast<uint16_t>(offset + step.byteOffset);
    const uint32_t value = (data >> (8 * step.byteOffset)) & byteMask(step.width);
    switch (step.width) {
      case 1: target.write1(fn, at, static_cast<uint8_t>(value)); break;
      case 2: target.write2(fn, at, static_cast<uint16_t>(value)); break;
      case 4: target.write4(fn, at, value); break;
      default: break;
    }
  }
}

uint32_t readEnabledBytes(const device& target, uint8_t fn, uint16_t offset, uint8_t enables) {
  uint32_t data = 0;
  for (const lattix_byte_enables::access& step : lattix_byte_enables::kPlans[enables & 0xF].steps) {
    const uint16_t at = static_cast<uint16_t>(offset + step.byteOffset);
    uint32_t value = 0;
    switch (step.width) {
      case 1: value = target.read1(fn, at); break;
      case 2: value = target.read2(fn, at); break;
      case 4: value = target.read4(fn, at); break;
      default: continue;
    }
    data |= value << (8 * step.byteOffset);
  }
  return data;
}

}  // namespace

requestHandler::requestHandler(bus* root) : root_(root) {}

device* requestHandler::route(const address& where) {
  return lattix_routing::routeOnBus(root_, where);
}

int requestHandler::perform(const address& where, bool isWrite, uint8_t firstByteEnables,
                            uint32_t& data) {
  if (firstByteEnables > 0xF || (where.offset & 3) != 0 || where.offset > 0xFFC) {
    status_ = lattix_status::badRequest;
    return status_;
  }
  device* target = route(where);
  if (!target) {
    status_ = lattix_status::noDevice;
  } else if (!target->isFunction(where.function)) {
    status_ = lattix_status::noFunction;
  } else if (target->GetNoResponse(where.function)) {
    status_ = lattix_status::noResponse;
  } else {
    if (isWrite) {
      target->SetDevNum(where.device);
      target->SetBusNum(where.bus);
      writeEnabledBytes(*target, where.function, where.offset, firstByteEnables, data);
    } else {
      data = readEnabledBytes(*target, where.function, where.offset, firstByteEnables);
    }
    status_ = target->getStatus();
  }
  return status_;
}
