// The card's USB controller: vendor requests, reset, RAM download and bulk pipes.
#include "usb/usb_controller.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/devio.h"
#include "usb/ezusb_requests.h"

namespace zamsim {
namespace {

using platform::error::gen_failure;
using platform::error::success;

constexpr uint32_t stall = gen_failure;
constexpr uint32_t factory_image_size = 4096;
constexpr uint32_t factory_image_time = 1262304000;  // 2010-01-01 00:00:00 UTC

uint16_t le16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

uint32_t be32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

bool inside(uint32_t address, uint32_t length, uint32_t size) { return address <= size && length <= size - address; }

uint32_t image_of_mode(uint32_t mode) {
  switch (mode) {
    case mode_topology: return ezusb::image_topology;
    case mode_known_endpoint: return ezusb::image_known_endpoint;
    default: return ezusb::image_add_in_card;
  }
}

}  // namespace

std::array<uint8_t, 256> image_header(uint32_t size, uint32_t time) {
  std::array<uint8_t, 256> header{};
  std::memcpy(header.data(), "ZAM1", 4);
  for (int i = 0; i < 4; ++i) {
    header[4 + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
    header[8 + i] = static_cast<uint8_t>(time >> (24 - 8 * i));
  }
  return header;
}

usb_controller::usb_controller(zam_card& card, const usb_card_contents& contents)
    : card_(card), contents_(contents), xdata_(ezusb::xdata_size, 0), eeprom_(ezusb::eeprom_size, 0xFF),
      ram_code_(ezusb::ram_download_limit, 0) {
  card_.set_dip_switches(contents.dip_switches);
  if (contents.factory_images) {
    // Each mode image: its header, then a body of a recognisable pattern.
    std::vector<uint8_t> body(factory_image_size);
    for (uint32_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7 + 1);
    for (uint32_t offset : {ezusb::image_known_endpoint, ezusb::image_topology, ezusb::image_add_in_card}) {
      const auto header = image_header(factory_image_size, factory_image_time);
      flash_.program_at(offset, header.data(), header.size());
      flash_.program_at(offset + ezusb::image_header_size, body.data(), factory_image_size);
    }
  }
  fpga_configured_ = image_valid(image_of_mode(card_.mode()));
  firmware_running_ = contents.boot_firmware;
}

bool usb_controller::image_valid(uint32_t offset) const {
  uint8_t header[8] = {};
  if (!flash_.read(offset, header, sizeof header) || std::memcmp(header, "ZAM1", 4) != 0) return false;
  const uint32_t size = be32(header + 4);
  return size > 0 && size <= ezusb::flash_size - offset - ezusb::image_header_size;
}

uint8_t usb_controller::i2c_register(uint8_t reg) const {
  const uint32_t value = card_.next_boot_value();
  if (reg == ezusb::i2c_next_boot_bit0) return (value & 1) ? 0xFF : 0x00;
  if (reg == ezusb::i2c_next_boot_bit1) return (value & 2) ? 0xFF : 0x00;
  return i2c_registers_[reg];
}

void usb_controller::set_i2c_register(uint8_t reg, uint8_t value) {
  if (reg == ezusb::i2c_next_boot_bit0 || reg == ezusb::i2c_next_boot_bit1) {
    // The card keeps one next-boot value; a register reading 0xFF is a 1 bit.
    const uint32_t bit = reg == ezusb::i2c_next_boot_bit0 ? 1u : 2u;
    const uint32_t now = card_.next_boot_value();
    card_.set_next_boot_value(value == 0xFF ? now | bit : now & ~bit);
    return;
  }
  i2c_registers_[reg] = value;
}

uint32_t usb_controller::serve(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* data,
                               uint32_t data_length, uint32_t& returned, uint32_t timeout_ms,
                               const std::function<bool()>& caller_gone) {
  returned = 0;
  switch (code) {
    case ezusb::ioctl_vendor: {
      if (in_length != ezusb::vendor_record_size || data_length > ezusb::max_transfer) return stall;
      std::lock_guard lock(mutex_);
      return vendor(in, data, data_length, returned);
    }
    case ezusb::ioctl_reset: {
      // request 0xA0, value 0xE600 (CPU control), index, length 1, direction 0, data
      if (in_length != ezusb::reset_record_size || in[0] != ezusb::request_cpu_reset ||
          le16(in + 2) != ezusb::cpu_control_register || le16(in + 6) != 1 || in[8] != 0) {
        return stall;
      }
      std::lock_guard lock(mutex_);
      const bool hold = (in[9] & 1) != 0;
      if (hold && !cpu_held_) code_since_hold_ = false;
      if (!hold && cpu_held_ && code_since_hold_) {
        ++enumerations_;
        firmware_running_ = true;
      }
      cpu_held_ = hold;
      return success;
    }
    case ezusb::ioctl_ram_download: {
      if (in_length != 2) return stall;
      const uint32_t address = le16(in);
      if (!inside(address, data_length, ezusb::ram_download_limit)) return stall;
      std::lock_guard lock(mutex_);
      std::memcpy(ram_code_.data() + address, data, data_length);
      ram_code_bytes_ += data_length;
      if (cpu_held_ && data_length > 0) code_since_hold_ = true;
      returned = data_length;
      return success;
    }
    case ezusb::ioctl_bulk_read:
    case ezusb::ioctl_bulk_write: {
      if (in_length != 4) return stall;
      const uint32_t pipe = uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
      if (code == ezusb::ioctl_bulk_read) return bulk_read(pipe, data, data_length, returned, timeout_ms, caller_gone);
      if (pipe != ezusb::pipe_completions || card_.mode() != mode_topology) return stall;
      {
        std::lock_guard lock(mutex_);
        completions_.emplace_back(data, data + data_length);
      }
      returned = data_length;
      pipe_changed_.notify_all();
      return success;
    }
    default: return platform::error::invalid_function;
  }
}

uint32_t usb_controller::vendor(const uint8_t* record, uint8_t* data, uint32_t length, uint32_t& returned) {
  const bool read = record[0] == 1;
  if (record[0] > 1 || record[1] != 2 || record[2] != 0) return stall;  // vendor requests to the device only
  const uint8_t request = record[4];
  const uint32_t address = uint32_t{le16(record + 6)} | uint32_t{le16(record + 8)} << 16;
  const uint32_t status = read ? vendor_read(request, address, data, length) : vendor_write(request, address, data, length);
  if (status == success) returned = length;
  return status;
}

uint32_t usb_controller::vendor_read(uint8_t request, uint32_t address, uint8_t* data, uint32_t length) {
  switch (request) {
    case ezusb::request_version: {
      const uint8_t flags = static_cast<uint8_t>(ezusb::flag_dip_valid | (fpga_configured_ ? ezusb::flag_fpga_configured : 0) |
                                                 card_.dip_switches());
      const uint8_t version[4] = {contents_.version_major, contents_.version_minor, contents_.version_build, flags};
      if (!inside(address, length, sizeof version)) return stall;
      std::memcpy(data, version + address, length);
      return success;
    }
    case ezusb::request_eeprom:
      if (!inside(address, length, ezusb::eeprom_size)) return stall;
      std::memcpy(data, eeprom_.data() + address, length);
      return success;
    case ezusb::request_xdata:
      if (!inside(address, length, ezusb::xdata_size)) return stall;
      for (uint32_t i = 0; i < length; ++i) {
        const uint32_t at = address + i;
        if (at == ezusb::xdata_mode_register) {
          data[i] = fpga_configured_ ? fpga_mode_register(card_.mode()) : 0;
        } else if (at == ezusb::xdata_link_status_a) {
          data[i] = static_cast<uint8_t>((xdata_[at] & 0xC0) | (contents_.link_state_a & 0x3F));
        } else if (at == ezusb::xdata_link_status_b) {
          data[i] = static_cast<uint8_t>((xdata_[at] & 0xC0) | (contents_.link_state_b & 0x3F));
        } else if (!scan_read(at, data[i])) {
          data[i] = xdata_[at];
        }
      }
      return success;
    case ezusb::request_idata:
      if (!inside(address, length, ezusb::idata_size)) return stall;
      std::memcpy(data, idata_.data() + address, length);
      return success;
    case ezusb::request_flash: return flash_.read(address, data, length) ? success : stall;
    case ezusb::request_i2c:
      // Only the next-boot device answers; every other address NAKs.
      if (address != ezusb::i2c_next_boot_device) return stall;
      for (uint32_t i = 0; i < length; ++i) data[i] = i2c_register(static_cast<uint8_t>(i2c_pointer_ + i));
      i2c_pointer_ = static_cast<uint8_t>(i2c_pointer_ + length);
      return success;
    default: return stall;
  }
}

uint32_t usb_controller::vendor_write(uint8_t request, uint32_t address, const uint8_t* data, uint32_t length) {
  switch (request) {
    case ezusb::request_eeprom:
      if (!inside(address, length, ezusb::eeprom_size)) return stall;
      std::memcpy(eeprom_.data() + address, data, length);
      return success;
    case ezusb::request_xdata:
      if (!inside(address, length, ezusb::xdata_size)) return stall;
      for (uint32_t i = 0; i < length; ++i) {
        const uint32_t at = address + i;
        if (at == ezusb::xdata_mode_register || scan_write(at, data[i])) continue;  // the FPGA's registers
        xdata_[at] = data[i];
      }
      return success;
    case ezusb::request_idata:
      if (!inside(address, length, ezusb::idata_size)) return stall;
      std::memcpy(idata_.data() + address, data, length);
      return success;
    case ezusb::request_flash_erase:
      if (length != 4) return stall;
      return flash_.erase(address, be32(data)) ? success : stall;
    case ezusb::request_flash: return flash_.program(data, length) ? success : stall;
    case ezusb::request_i2c:
      if (address != ezusb::i2c_next_boot_device || length == 0) return stall;
      i2c_pointer_ = data[0];
      for (uint32_t i = 1; i < length; ++i) {
        set_i2c_register(i2c_pointer_, data[i]);
        i2c_pointer_ = static_cast<uint8_t>(i2c_pointer_ + 1);
      }
      return success;
    case ezusb::request_fpga:
      if (address == 0) {
        fpga_download_.clear();
        fpga_configured_ = false;  // a new image replaces the running one
      } else if (address != 1) {
        return stall;
      }
      if (fpga_download_.size() + length > ezusb::flash_size) return stall;
      fpga_download_.insert(fpga_download_.end(), data, data + length);
      finish_fpga_download();
      return success;
    default: return stall;
  }
}

bool usb_controller::scan_read(uint32_t address, uint8_t& value) const {
  for (int port = 0; port < 2; ++port) {
    const uint32_t control = port == 0 ? ezusb::xdata_scan_control_a : ezusb::xdata_scan_control_b;
    const uint32_t sample = (port == 0 ? ezusb::xdata_scan_block_a : ezusb::xdata_scan_block_b) + ezusb::xdata_scan_sample;
    const int position = scan_position_[port];
    if (address == control) {
      // Steps complete at once; bit 0 marks either end of the range.
      value = static_cast<uint8_t>(0x80 | (position == -ezusb::scan_range || position == ezusb::scan_range ? 1 : 0));
      return true;
    }
    if (address == control + 3) {
      value = static_cast<uint8_t>(position + ezusb::scan_range);  // the delay tap
      return true;
    }
    if (address == sample) {
      const bool good = contents_.scan_finds_window && position >= -ezusb::scan_window && position <= ezusb::scan_window;
      value = good ? 0x02 : 0x00;
      return true;
    }
  }
  return false;
}

bool usb_controller::scan_write(uint32_t address, uint8_t value) {
  for (int port = 0; port < 2; ++port) {
    const uint32_t control = port == 0 ? ezusb::xdata_scan_control_a : ezusb::xdata_scan_control_b;
    if (address == control + 1 || address == control + 2) {
      int& position = scan_position_[port];
      if (value == 1) {
        if (address == control + 1 && position < ezusb::scan_range) ++position;
        if (address == control + 2 && position > -ezusb::scan_range) --position;
      }
      return true;
    }
    if (address == control || address == control + 3) return true;  // read-only
  }
  return false;
}

void usb_controller::finish_fpga_download() {
  // An image is the "ZAM1" header followed by the size it states.
  if (fpga_download_.size() < ezusb::image_header_size || std::memcmp(fpga_download_.data(), "ZAM1", 4) != 0) return;
  const uint32_t size = be32(fpga_download_.data() + 4);
  if (size > 0 && fpga_download_.size() >= uint64_t{ezusb::image_header_size} + size) fpga_configured_ = true;
}

uint32_t usb_controller::bulk_read(uint32_t pipe, uint8_t* data, uint32_t length, uint32_t& returned,
                                   uint32_t timeout_ms, const std::function<bool()>& caller_gone) {
  if (pipe != ezusb::pipe_requests) return stall;
  std::unique_lock lock(mutex_);
  const uint32_t cycles = card_.power_cycles();
  const uint32_t resets = sut_resets_;
  const auto aborted = [&] { return card_.power_cycles() != cycles || sut_resets_ != resets; };
  const auto ready = [&] { return aborted() || (card_.mode() == mode_topology && !requests_.empty()); };
  ++waiting_reads_;
  // Wait in slices, so that a read whose client has gone ends soon and leaves the request
  // for the next reader.
  constexpr auto slice = std::chrono::milliseconds(50);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  bool done = false;
  bool gone = false;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    const bool endless = timeout_ms == platform::infinite_timeout;
    if (!endless && now >= deadline) break;
    const auto wait = endless ? slice : std::min<std::chrono::steady_clock::duration>(slice, deadline - now);
    if (pipe_changed_.wait_for(lock, wait, ready)) {
      done = true;
      break;
    }
    if (caller_gone && caller_gone()) {
      gone = true;
      break;
    }
  }
  --waiting_reads_;
  if (gone) return platform::error::operation_aborted;
  if (!done) return platform::error::timeout;
  if (aborted()) return platform::error::operation_aborted;
  // A caller that left while the request arrived would lose it: leave it for the next reader.
  if (caller_gone && caller_gone()) return platform::error::operation_aborted;
  std::vector<uint8_t> packet = std::move(requests_.front());
  requests_.pop_front();
  if (packet.size() > length) return platform::error::insufficient_buffer;  // the packet is dropped, as on the wire
  std::memcpy(data, packet.data(), packet.size());
  returned = static_cast<uint32_t>(packet.size());
  return success;
}

void usb_controller::power_cycle() {
  {
    std::lock_guard lock(mutex_);
    card_.power_cycle();
    fpga_configured_ = image_valid(image_of_mode(card_.mode()));
    cpu_held_ = false;
    code_since_hold_ = false;
    firmware_running_ = contents_.boot_firmware;
    requests_.clear();
  }
  pipe_changed_.notify_all();
}

bool usb_controller::flip_flash_byte(uint32_t offset, uint8_t& before, uint8_t& after) {
  std::lock_guard lock(mutex_);
  if (!flash_.read(offset, &before, 1) || !flash_.flip(offset)) return false;
  flash_.read(offset, &after, 1);
  return true;
}

bool usb_controller::firmware_running() const {
  std::lock_guard lock(mutex_);
  return firmware_running_;
}

uint32_t usb_controller::enumerations() const {
  std::lock_guard lock(mutex_);
  return enumerations_;
}

void usb_controller::inject_request(const std::vector<uint8_t>& bytes) {
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(bytes);
  }
  pipe_changed_.notify_all();
}

std::vector<std::vector<uint8_t>> usb_controller::take_completions() {
  std::lock_guard lock(mutex_);
  return std::exchange(completions_, {});
}

bool usb_controller::wait_completion(std::vector<uint8_t>& out, uint32_t timeout_ms, const std::atomic<bool>& stop) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  std::unique_lock lock(mutex_);
  while (completions_.empty()) {
    // Short slices so that a power-off (the stop flag) ends the wait promptly.
    const auto slice = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(10));
    pipe_changed_.wait_until(lock, slice);
    if (stop.load()) return false;
    if (completions_.empty() && std::chrono::steady_clock::now() >= deadline) return false;
  }
  out = std::move(completions_.front());
  completions_.erase(completions_.begin());
  return true;
}

void usb_controller::reset_pipes() {
  {
    std::lock_guard lock(mutex_);
    requests_.clear();
    completions_.clear();
    ++sut_resets_;  // a read waiting for a request is aborted
  }
  pipe_changed_.notify_all();
}

std::string usb_controller::describe() const {
  std::lock_guard lock(mutex_);
  const uint32_t mode = card_.mode();
  char line[256];
  std::string text;
  std::snprintf(line, sizeof line,
                "usb: mode %u (FPGA mode register 0x%02X, next-boot value %u), FPGA %s, CPU %s, %u bytes of code "
                "downloaded\n",
                mode, fpga_configured_ ? fpga_mode_register(mode) : 0, card_.next_boot_value(),
                fpga_configured_ ? "configured" : "not configured", cpu_held_ ? "held in reset" : "running",
                ram_code_bytes_);
  text += line;
  std::string images;
  for (const auto& [offset, name] : {std::pair{ezusb::image_known_endpoint, "known endpoint"},
                                     std::pair{ezusb::image_topology, "topology"},
                                     std::pair{ezusb::image_add_in_card, "add-in card"}}) {
    if (image_valid(offset)) images += std::string(images.empty() ? "" : ", ") + name;
  }
  std::snprintf(line, sizeof line, "usb: FLASH images: %s; bulk: %zu request(s) queued, %u read(s) waiting, %zu completion(s)\n",
                images.empty() ? "none" : images.c_str(), requests_.size(), waiting_reads_, completions_.size());
  text += line;
  return text;
}

}  // namespace zamsim
