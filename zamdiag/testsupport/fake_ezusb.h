// An in-process stand-in for the card's USB controller behind the EZ-USB driver, registered
// as a device provider for unit tests: memories, FLASH, I2C, reset, downloads and pipes,
// with every request recorded and faults on demand.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/devio.h"

namespace zamdiag::testing {

// One driver request as the stand-in received it.
struct request_seen {
  uint32_t code = 0;
  std::vector<uint8_t> in;
  uint32_t out_capacity = 0;
  uint32_t timeout_ms = 0;
  std::vector<uint8_t> sent;  // the data buffer of a request that sends it
};

class fake_ezusb {
 public:
  // Registers the stand-in under the device name; unregisters it on destruction.
  explicit fake_ezusb(const std::string& device_name = "ezusb-0");
  ~fake_ezusb();
  fake_ezusb(const fake_ezusb&) = delete;
  fake_ezusb& operator=(const fake_ezusb&) = delete;

  // Memories, as the card holds them.
  std::vector<uint8_t> xdata = std::vector<uint8_t>(0x10000, 0);
  std::vector<uint8_t> idata = std::vector<uint8_t>(256, 0);
  std::vector<uint8_t> eeprom = std::vector<uint8_t>(0x4000, 0xFF);
  std::vector<uint8_t> flash = std::vector<uint8_t>(0x800000, 0xFF);
  uint8_t version[4] = {2, 5, 0, 0xC0};
  uint8_t boot_mode_registers[2] = {0, 0};  // I2C 0x53, registers 0xF8 and 0xF9

  // Pipe 1 answers bulk reads from this queue (a read with nothing queued times out);
  // bulk writes are collected per pipe.
  std::deque<std::vector<uint8_t>> pipe_in;
  std::map<uint32_t, std::vector<std::vector<uint8_t>>> pipe_out;

  // Controller state and downloads.
  bool cpu_held = false;
  std::vector<uint8_t> reset_log;                 // data byte of every reset request
  std::vector<std::pair<uint16_t, std::vector<uint8_t>>> ram_writes;
  std::vector<std::pair<uint16_t, std::vector<uint8_t>>> fpga_pieces;  // value, bytes

  // Hooks on xdata: a read hook answers in place of the memory when it returns a value; a
  // write hook sees every byte written.
  std::function<std::optional<uint8_t>(uint32_t address)> on_xdata_read;
  std::function<void(uint32_t address, uint8_t value)> on_xdata_write;

  // Fails (with the error code) every request for which the predicate holds.
  std::function<bool(const request_seen&)> fail_when;
  uint32_t fail_error = platform::error::gen_failure;
  // Vendor reads of this request code return at most this many bytes.
  std::map<uint8_t, uint32_t> short_reads;

  std::vector<request_seen> requests;

  // Vendor request code and 32-bit address of a request (0 when it is not one).
  static uint8_t vendor_code(const request_seen& r);
  static uint32_t vendor_address(const request_seen& r);
  static bool vendor_read(const request_seen& r);

 private:
  friend class provider;
  uint32_t serve(const request_seen& r, uint8_t* out, uint32_t& returned);
  uint32_t vendor(const request_seen& r, uint8_t* out, uint32_t& returned);
  uint32_t memory(std::vector<uint8_t>& bytes, bool read, uint32_t address, const uint8_t* data,
                  uint32_t length, uint8_t* out, uint32_t capacity, uint32_t& returned);

  class provider;
  std::shared_ptr<provider> provider_;
  uint32_t flash_pointer_ = 0;
  uint8_t i2c_register_ = 0;
};

}  // namespace zamdiag::testing
