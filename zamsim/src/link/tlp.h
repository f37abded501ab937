// Transaction layer packets the lab builds and reads: configuration requests, their
// completions and error messages, as bytes in link order (PCIe Base 4.0 sec 2.2).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/config_access.h"

namespace zamsim {

// A configuration request as TLP bytes (3 dwords for reads, 4 for writes), most
// significant byte of each header dword first; write data in configuration byte order.
std::vector<uint8_t> config_request_tlp(bool write, bool type1, bdf target, uint16_t offset,
                                        uint8_t byte_enables, uint32_t data, uint16_t requester,
                                        uint8_t tag);

// The completion of a configuration request: Cpl (3 dwords) or, with data, CplD (4 dwords).
// Status: 0 successful, 1 unsupported request, 2 configuration retry, 4 completer abort.
std::vector<uint8_t> config_completion_tlp(bdf completer, uint8_t status, bool with_data,
                                           uint32_t data, uint16_t requester, uint8_t tag);

// Error message codes (Msg routed to the root complex, 4-dword header, no data).
inline constexpr uint8_t message_err_cor = 0x30;
inline constexpr uint8_t message_err_nonfatal = 0x31;
inline constexpr uint8_t message_err_fatal = 0x33;
std::vector<uint8_t> message_tlp(uint16_t requester, uint8_t code);

// A configuration request read back from its bytes.
struct config_request {
  bool write = false;
  bool type1 = false;
  bdf target;
  uint16_t offset = 0;
  uint8_t byte_enables = 0;
  uint32_t data = 0;  // configuration byte 0 in bits 7..0
  uint16_t requester = 0;
  uint8_t tag = 0;
};
std::optional<config_request> parse_config_request(const std::vector<uint8_t>& tlp);

// Whether a TLP is a completion (Cpl or CplD), and its status, tag and data.
bool is_completion(const std::vector<uint8_t>& tlp);
uint8_t completion_status(const std::vector<uint8_t>& tlp);
uint8_t completion_tag(const std::vector<uint8_t>& tlp);
uint32_t completion_data(const std::vector<uint8_t>& tlp);  // configuration byte 0 in bits 7..0

inline uint16_t requester_id(bdf at) { return static_cast<uint16_t>(at.bus << 8 | at.device << 3 | at.function); }

}  // namespace zamsim
