// The card's USB controller reached through the EZ-USB driver: vendor requests, bulk pipes,
// the CPU reset and code downloads, each failure reported with the driver's message.
//
// Requests pass the driver's two buffers: the first (control record, reset record, pipe
// number or RAM address) as the input, the data buffer as the output. The driver fills the
// data buffer on a read and sends it on a write (vendor writes, bulk writes and RAM
// downloads), as a Windows driver does with direct I/O.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/devio.h"

namespace zamdiag {

// How long one request may take; erasing FLASH takes longer than anything else, and a
// bulk read waits at most this long for data.
inline constexpr uint32_t request_timeout_ms = 5000;
inline constexpr uint32_t erase_timeout_ms = 60000;

// The control transfer record of a vendor request at a 32-bit address.
std::array<uint8_t, 10> control_record(bool read, uint16_t request, uint32_t address);
// The reset record that holds (1) or releases (0) the controller's CPU.
std::array<uint8_t, 10> reset_record(bool hold);

class card_port {
 public:
  // Messages of failed requests go to `err`.
  card_port(platform::device_handle handle, std::ostream& err) : handle_(handle), err_(err) {}

  // A memory command's transfer: a vendor request, or with request_bulk the pipe `address`.
  bool read(uint16_t request, uint32_t address, uint8_t* data, uint32_t length,
            uint32_t& returned);
  bool write(uint16_t request, uint32_t address, const uint8_t* data, uint32_t length,
             uint32_t timeout_ms = request_timeout_ms);
  // A read that must return every byte asked for; a short answer is reported and fails.
  bool read_exact(uint16_t request, uint32_t address, uint8_t* data, uint32_t length);
  // One byte of a memory; nullopt when it could not be read.
  std::optional<uint8_t> read_byte(uint16_t request, uint32_t address);

  // Holds or releases the controller's CPU ("Reset Failed" on failure).
  bool hold_reset(bool hold);
  // One firmware record: below 0x2000 into the RAM, else through xdata writes.
  bool write_code(uint32_t address, const uint8_t* data, uint32_t length);

 private:
  bool control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* data,
               uint32_t data_length, uint32_t& returned, uint32_t timeout_ms);
  bool send(uint32_t code, const uint8_t* in, uint32_t in_length, const uint8_t* data,
            uint32_t length, uint32_t timeout_ms);

  platform::device_handle handle_;
  std::ostream& err_;
};

}  // namespace zamdiag
