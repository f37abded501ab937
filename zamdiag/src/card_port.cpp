// Requests to the card's USB controller and the driver's failure messages.
#include "card_port.h"

#include "ezusb_map.h"
#include "print_format.h"

namespace zamdiag {
namespace {

void put_le16(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

// The driver's u32 pipe number.
std::array<uint8_t, 4> pipe_number(uint32_t pipe) {
  return {static_cast<uint8_t>(pipe), static_cast<uint8_t>(pipe >> 8), static_cast<uint8_t>(pipe >> 16),
          static_cast<uint8_t>(pipe >> 24)};
}

bool timed_out(uint32_t error_code) {
  return error_code == 1460 || error_code == platform::error::sem_timeout;
}

}  // namespace

std::array<uint8_t, 10> control_record(bool read, uint16_t request, uint32_t address) {
  std::array<uint8_t, 10> record{};
  record[0] = read ? 1 : 0;
  record[1] = 2;  // vendor
  record[2] = 0;  // device
  record[4] = static_cast<uint8_t>(request);
  put_le16(&record[6], static_cast<uint16_t>(address));
  put_le16(&record[8], static_cast<uint16_t>(address >> 16));
  return record;
}

std::array<uint8_t, 10> reset_record(bool hold) {
  std::array<uint8_t, 10> record{};
  record[0] = request_firmware_load;
  put_le16(&record[2], cpucs_register);
  put_le16(&record[4], 0);
  put_le16(&record[6], 1);
  record[8] = 0;
  record[9] = hold ? 1 : 0;
  return record;
}

bool card_port::control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* data,
                        uint32_t data_length, uint32_t& returned, uint32_t timeout_ms) {
  return platform::device_control(handle_, code, in, in_length, data, data_length, &returned,
                                  timeout_ms);
}

bool card_port::send(uint32_t code, const uint8_t* in, uint32_t in_length, const uint8_t* data,
                     uint32_t length, uint32_t timeout_ms) {
  // The driver reads the bytes to send from its data buffer; the device layer takes them
  // from the output pointer, so they travel in a copy of their own.
  std::vector<uint8_t> bytes(data, data + length);
  uint32_t returned = 0;
  return control(code, in, in_length, bytes.data(), length, returned, timeout_ms);
}

bool card_port::read(uint16_t request, uint32_t address, uint8_t* data, uint32_t length,
                     uint32_t& returned) {
  returned = 0;
  if (request == request_bulk) {
    const auto pipe = pipe_number(address);
    if (!control(ioctl_bulk_read, pipe.data(), 4, data, length, returned, request_timeout_ms)) {
      const uint32_t why = platform::last_error();
      err_ << "ioctl failed\n";
      if (timed_out(why)) {
        err_ << format("nothing arrived on pipe %u within %u ms\n", address, request_timeout_ms);
      }
      return false;
    }
  } else {
    const auto record = control_record(true, request, address);
    if (!control(ioctl_vendor_request, record.data(), 10, data, length, returned, request_timeout_ms)) {
      err_ << "ioctl failed\n";
      return false;
    }
  }
  if (returned > length) returned = length;
  return true;
}

bool card_port::write(uint16_t request, uint32_t address, const uint8_t* data, uint32_t length,
                      uint32_t timeout_ms) {
  bool ok;
  if (request == request_bulk) {
    const auto pipe = pipe_number(address);
    ok = send(ioctl_bulk_write, pipe.data(), 4, data, length, timeout_ms);
  } else {
    const auto record = control_record(false, request, address);
    ok = send(ioctl_vendor_request, record.data(), 10, data, length, timeout_ms);
  }
  if (!ok) err_ << "ioctl failed\n";
  return ok;
}

bool card_port::read_exact(uint16_t request, uint32_t address, uint8_t* data, uint32_t length) {
  uint32_t returned = 0;
  if (!read(request, address, data, length, returned)) return false;
  if (returned != length) {
    err_ << format("short read at 0x%04x: %u of %u bytes\n", address, returned, length);
    return false;
  }
  return true;
}

std::optional<uint8_t> card_port::read_byte(uint16_t request, uint32_t address) {
  uint8_t byte = 0;
  if (!read_exact(request, address, &byte, 1)) return std::nullopt;
  return byte;
}

bool card_port::hold_reset(bool hold) {
  const auto record = reset_record(hold);
  uint32_t returned = 0;
  if (!control(ioctl_reset_control, record.data(), 10, nullptr, 0, returned, request_timeout_ms)) {
    err_ << "Reset Failed\n";
    return false;
  }
  return true;
}

bool card_port::write_code(uint32_t address, const uint8_t* data, uint32_t length) {
  if (address < ram_download_limit) {
    uint8_t head[2];
    put_le16(head, static_cast<uint16_t>(address));
    if (!send(ioctl_anchor_download, head, 2, data, length, request_timeout_ms)) {
      err_ << "ioctl error\n";
      return false;
    }
    return true;
  }
  const auto record = control_record(false, request_xdata, address);
  if (!send(ioctl_vendor_request, record.data(), 10, data, length, request_timeout_ms)) {
    err_ << "Vendor Request failed\n";
    return false;
  }
  return true;
}

}  // namespace zamdiag
