// Request entry point of a hierarchy: configuration requests in, completions out.
//
// Conventions:
// - Packets are arrays of 32-bit words in host order. A request is 3 words (reads) or
//   4 words (writes); word 3 of a write carries configuration byte 0 in bits 31..24
//   (wire order). Completions are 3 words (Cpl) or 4 words (CplD, read data in word 3,
//   also in wire order).
// - Ownership: packetHandler::handle allocates the completion and nothing else; the
//   caller releases it with releaseCompletion (never with its own free/delete, so that
//   a caller built against another runtime frees it in the runtime that allocated it).
// - Threads: a handler and its hierarchy hold no global state; one thread at a time may
//   use one hierarchy. Different hierarchies may be used on different threads.
// - Request status values (getStatus): 0 handled, 2 answered by a device for a device
//   number that is not its own, -3 no device at the routed address (also for a bus
//   number that no bridge claims), -4 not a configuration request, -9 function not
//   implemented, -13 the function gives no response (handle returns null), -5 no request
//   handler or no memory for the completion.
// - The script parser creates one packetHandler per topology, on the topology's root bus.
//   The handler does not own the bus; the topology does.
#pragma once

#include <cstdint>

#include "lattix/lattix_export.h"
#include "lattix/types.h"

class bus;
class device;

// Format and type codes of configuration requests (word 0 bits 30..24).
constexpr uint8_t LX_TLP_CFG_RD0 = 0x04;
constexpr uint8_t LX_TLP_CFG_RD1 = 0x05;
constexpr uint8_t LX_TLP_CFG_WR0 = 0x44;
constexpr uint8_t LX_TLP_CFG_WR1 = 0x45;
// Completion word 0.
constexpr uint32_t LX_TLP_CPL = 0x0A000000u;
constexpr uint32_t LX_TLP_CPLD = 0x4A000001u;
// Completion status values (completion word 1 bits 15..13).
constexpr uint32_t LX_CPL_STATUS_SC = 0;
constexpr uint32_t LX_CPL_STATUS_UR = 1;
constexpr uint32_t LX_CPL_STATUS_CRS = 2;
constexpr uint32_t LX_CPL_STATUS_CA = 4;

// Routes configuration requests from the root bus and performs them on the target.
class LATTIX_API requestHandler {
 public:
  explicit requestHandler(bus* root);
  bus* getRootBus() const { return root_; }
  // Status of the last request.
  int getStatus() const { return status_; }

  // The device that a request for `where` reaches (Type 0 on the root bus whatever its
  // bus number, Type 1 through the bridges), or null. Sets the target's status to 0, or
  // to 2 when it answers for a device number that is not its own.
  device* route(const address& where);
  // Routes and performs one request on where.function at where.offset (0..0xFFC).
  // `data` is in register byte order (byte 0 in bits 7..0): the enabled bytes are
  // written, or read into it with the disabled bytes 0. Returns and records the status.
  int perform(const address& where, bool isWrite, uint8_t firstByteEnables, uint32_t& data);

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

  // Decodes, routes and performs one request; returns its completion (release it with
  // releaseCompletion), or null when the target gives no response, the request pointer
  // is null or no memory is left for the completion.
  uint32_t* handle(const uint32_t* request);

  requestHandler* getRequestHandler() const { return requestHandler_; }
  int getStatus() const { return status_; }

 private:
  void parse(const uint32_t* request);
  uint32_t* createCompletion() const;

  requestHandler* requestHandler_ = nullptr;
  // The request being handled, decoded.
  uint8_t bus_ = 0;
  uint8_t device_ = 0;
  uint8_t function_ = 0;
  uint16_t offset_ = 0;
  bool type1_ = false;
  bool write_ = false;
  // Write data word of the request (word 3), null for reads.
  const uint32_t* dataPointer_ = nullptr;
  uint8_t firstByteEnables_ = 0;
  uint32_t data_ = 0;  // register byte order
  uint8_t tag_ = 0;
  uint16_t requesterId_ = 0;
  int status_ = 0;
};

// Releases a completion returned by packetHandler::handle; null is ignored.
LATTIX_API void releaseCompletion(uint32_t* completion);
