// Packet handler construction on a hierarchy's root bus.
#include "lattix/packet_handler.h"

#include <new>

#include "lattix/status.h"

requestHandler::requestHandler(bus* root) : root_(root) {}

packetHandler::packetHandler(bus* root) {
  requestHandler_ = new (std::nothrow) requestHandler(root);
  status_ = requestHandler_ ? lattix_status::ok : lattix_status::outOfMemory;
}

packetHandler::~packetHandler() { delete requestHandler_; }
