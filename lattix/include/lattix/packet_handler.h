// Request entry point of a hierarchy: the packet handler and its request handler.
//
// The script parser creates one packetHandler per topology, on the topology's root bus.
// The handler does not own the bus; the topology does.
#pragma once

#include <cstdint>

#include "lattix/lattix_export.h"

class bus;

class LATTIX_API requestHandler {
 public:
  explicit requestHandler(bus* root);
  bus* getRootBus() const { return root_; }
  int getStatus() const { return status_; }

 private:
  bus* root_;
  int status_ = 0;
};

class LATTIX_API packetHandler {
 public:
  // Status 0, or -5 when the request handler could not be created.
  explicit packetHandler(bus* root);
  ~packetHandler();
  packetHandler(const packetHandler&) = delete;
  packetHandler& operator=(const packetHandler&) = delete;

  requestHandler* getRequestHandler() const { return requestHandler_; }
  int getStatus() const { return status_; }

 private:
  requestHandler* requestHandler_ = nullptr;
  // The request being handled, decoded.
  uint8_t bus_ = 0;
  uint8_t device_ = 0;
  uint8_t function_ = 0;
  uint16_t offset_ = 0;
  bool type1_ = false;
  bool write_ = false;
  uint32_t* dataPointer_ = nullptr;
  uint8_t firstByteEnables_ = 0;
  uint32_t data_ = 0;
  uint8_t tag_ = 0;
  uint16_t requesterId_ = 0;
  int status_ = 0;
};
