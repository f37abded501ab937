// The card's USB controller (EZ-USB style): vendor requests on its memories, EEPROM, FLASH,
// I2C and FPGA, the CPU reset register, RAM download, and the bulk pipes that carry a
// system under test's configuration requests in topology mode.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "card/card.h"
#include "usb/flash_memory.h"

namespace zamsim {

// What a fresh card holds, from the station.
struct usb_card_contents {
  uint8_t version_major = 1;
  uint8_t version_minor = 2;
  uint8_t version_build = 0;
  uint8_t dip_switches = 0;     // bits 2..0 = switches 3..1
  uint8_t link_state_a = 0x10;  // xdata 0xCF28 bits 5:0
  uint8_t link_state_b = 0x11;  // xdata 0xC728 bits 5:0
  bool scan_finds_window = true;  // the delay scan's samples are good around the centre
  bool factory_images = true;   // the three mode images in FLASH
  // The firmware boots from the EEPROM at power-on; without, the controller is a blank FX2
  // until code is downloaded and started.
  bool boot_firmware = true;
};

class usb_controller {
 public:
  usb_controller(zam_card& card, const usb_card_contents& contents);

  // Serves one driver request; returns a Windows-style error code. A request the
  // controller cannot serve fails as a stalled transfer: an error, nothing written.
  // `data` is the request's data buffer (read into, or sent from).
  // A waiting bulk read asks `caller_gone` now and then; once it answers true the read ends
  // (error 995) without taking a request, so the next reader gets it.
  uint32_t serve(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* data, uint32_t data_length,
                 uint32_t& returned, uint32_t timeout_ms, const std::function<bool()>& caller_gone = {});

  // Loads the next-boot mode as a power cycle does, configures the FPGA from its image,
  // and aborts a bulk read that is waiting.
  void power_cycle();
  // How many power cycles the card has had: a USB peer re-attaches the device on a change.
  uint32_t power_cycles() const { return card_.power_cycles(); }
  // How many times new code has taken over the controller: the CPU released from reset
  // after code was downloaded while it was held. Its firmware then leaves the bus and comes
  // back (a new enumeration), as an EZ-USB's does; a USB peer re-attaches on a change.
  uint32_t enumerations() const;
  // Whether the card's firmware runs (booted, or downloaded and started since the last
  // power cycle): on a USB bus the card then shows its own IDs, else the blank FX2's.
  bool firmware_running() const;

  // Bulk pipe traffic of a system under test: a request (wire bytes) for pipe 1, and the
  // completions the host wrote to pipe 0 so far (taken out).
  void inject_request(const std::vector<uint8_t>& bytes);
  std::vector<std::vector<uint8_t>> take_completions();
  // Waits up to timeout_ms (real time: the host answers at its own pace) for the host's
  // next completion on pipe 0 and takes it out; false on time-out or when `stop` is set.
  bool wait_completion(std::vector<uint8_t>& out, uint32_t timeout_ms, const std::atomic<bool>& stop);
  // Drops queued requests and completions and aborts a waiting bulk read: the system
  // under test has reset.
  void reset_pipes();

  // A FLASH fault for a test: every bit of the byte at `offset` inverted; false (nothing
  // changed) outside the FLASH. `before` and `after` are the byte's values.
  bool flip_flash_byte(uint32_t offset, uint8_t& before, uint8_t& after);

  std::string describe() const;

 private:
  uint32_t vendor(const uint8_t* record, uint8_t* data, uint32_t length, uint32_t& returned);
  uint32_t vendor_read(uint8_t request, uint32_t address, uint8_t* data, uint32_t length);
  uint32_t vendor_write(uint8_t request, uint32_t address, const uint8_t* data, uint32_t length);
  uint32_t bulk_read(uint32_t pipe, uint8_t* data, uint32_t length, uint32_t& returned, uint32_t timeout_ms,
                     const std::function<bool()>& caller_gone);
  uint8_t i2c_register(uint8_t reg) const;
  void set_i2c_register(uint8_t reg, uint8_t value);
  bool image_valid(uint32_t offset) const;
  // The delay scan registers: true when the address is one of them (read or written).
  bool scan_read(uint32_t address, uint8_t& value) const;
  bool scan_write(uint32_t address, uint8_t value);
  void finish_fpga_download();

  zam_card& card_;
  usb_card_contents contents_;
  mutable std::mutex mutex_;
  std::condition_variable pipe_changed_;
  std::vector<uint8_t> xdata_;
  std::array<uint8_t, 256> idata_{};
  std::vector<uint8_t> eeprom_;
  std::array<uint8_t, 256> i2c_registers_{};
  uint8_t i2c_pointer_ = 0;
  flash_memory flash_;
  std::vector<uint8_t> ram_code_;
  uint32_t ram_code_bytes_ = 0;
  bool cpu_held_ = false;
  bool code_since_hold_ = false;  // code was downloaded while the CPU was held
  uint32_t enumerations_ = 0;
  bool firmware_running_ = true;
  bool fpga_configured_ = false;
  std::vector<uint8_t> fpga_download_;
  std::deque<std::vector<uint8_t>> requests_;
  std::vector<std::vector<uint8_t>> completions_;
  uint32_t waiting_reads_ = 0;
  int scan_position_[2] = {0, 0};  // port A, port B
  uint32_t sut_resets_ = 0;
};

// The "ZAM1" header of a FLASH image.
std::array<uint8_t, 256> image_header(uint32_t size, uint32_t time);

}  // namespace zamsim
