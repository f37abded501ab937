// Packet handler: decodes configuration request words, routes them, builds completions.
#include "lattix/packet_handler.h"

#include <new>

#include "lattix/status.h"

namespace {

// Word 3 of writes and completions carries configuration byte 0 in bits 31..24.
uint32_t swapBytes(uint32_t value) { return __builtin_bswap32(value); }

uint32_t completionStatus(int status) {
  if (status >= lattix_status::ok && status <= 3) return LX_CPL_STATUS_SC;
  if (status == lattix_status::noFunction || status == lattix_status::badRequest ||
      status == lattix_status::noDevice)
    return LX_CPL_STATUS_UR;
  return LX_CPL_STATUS_CA;
}

}  // namespace

packetHandler::packetHandler(bus* root) {
  requestHandler_ = new (std::nothrow) requestHandler(root);
  status_ = requestHandler_ ? lattix_status::ok : lattix_status::outOfMemory;
}

packetHandler::~packetHandler() { delete requestHandler_; }

void packetHandler::parse(const uint32_t* request) {
  data_ = 0;
  dataPointer_ = nullptr;
  status_ = lattix_status::ok;
  const uint8_t formatAndType = static_cast<uint8_t>((request[0] >> 24) & 0x7F);
  switch (formatAndType) {
    case LX_TLP_CFG_RD0: type1_ = false; write_ = false; break;
    case LX_TLP_CFG_RD1: type1_ = true; write_ = false; break;
    case LX_TLP_CFG_WR0: type1_ = false; write_ = true; break;
    case LX_TLP_CFG_WR1: type1_ = true; write_ = true; break;
    default:
      type1_ = false;
      write_ = false;
      status_ = lattix_status::badRequest;
      break;
  }
  if (write_) {
    dataPointer_ = &request[3];
    data_ = swapBytes(*dataPointer_);
  }
  requesterId_ = static_cast<uint16_t>(request[1] >> 16);
  tag_ = static_cast<uint8_t>(request[1] >> 8);
  firstByteEnables_ = static_cast<uint8_t>(request[1] & 0xF);
  bus_ = static_cast<uint8_t>(request[2] >> 24);
  device_ = static_cast<uint8_t>((request[2] >> 19) & 0x1F);
  function_ = static_cast<uint8_t>((request[2] >> 16) & 0x7);
  offset_ = static_cast<uint16_t>(request[2] & 0xFFC);
}

uint32_t* packetHandler::createCompletion() const {
  if (status_ == lattix_status::noResponse) return nullptr;
  const bool withData = status_ >= 0 && !write_;
  uint32_t* completion = new (std::nothrow) uint32_t[withData ? 4 : 3];
  if (!completion) return nullptr;
  const uint32_t completerId = static_cast<uint32_t>(bus_) << 8 |
                               static_cast<uint32_t>(device_) << 3 | function_;
  completion[0] = withData ? LX_TLP_CPLD : LX_TLP_CPL;
  completion[1] = completerId << 16 | completionStatus(status_) << 13 | 4u;
  completion[2] = static_cast<uint32_t>(requesterId_) << 16 | static_cast<uint32_t>(tag_) << 8;
  if (withData) completion[3] = swapBytes(data_);
  return completion;
}

uint32_t* packetHandler::handle(const uint32_t* request) {
  if (!request) {
    status_ = lattix_status::badRequest;
    return nullptr;
  }
  parse(request);
  if (status_ >= 0) {
    if (!requestHandler_) {
      status_ = lattix_status::outOfMemory;
    } else {
      const address where{bus_, device_, function_, offset_, static_cast<uint8_t>(type1_)};
      status_ = requestHandler_->perform(where, write_, firstByteEnables_, data_);
    }
  }
  uint32_t* completion = createCompletion();
  if (!completion && status_ != lattix_status::noResponse) status_ = lattix_status::outOfMemory;
  return completion;
}

void releaseCompletion(uint32_t* completion) { delete[] completion; }
