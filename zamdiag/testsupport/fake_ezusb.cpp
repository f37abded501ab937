// The in-process card controller stand-in.
#include "fake_ezusb.h"

#include <algorithm>
#include <cstring>

namespace zamdiag::testing {
namespace {

constexpr uint32_t ioctl_vendor_request = 0x222059;
constexpr uint32_t ioctl_bulk_read = 0x22204E;
constexpr uint32_t ioctl_bulk_write = 0x222051;
constexpr uint32_t ioctl_reset_control = 0x222014;
constexpr uint32_t ioctl_anchor_download = 0x22206D;
constexpr uint32_t error_timeout = 1460;

// Vendor writes, bulk writes and RAM downloads send their data buffer (direct I/O).
bool sends_data(const request_seen& r) {
  if (r.code == ioctl_vendor_request) return !r.in.empty() && r.in[0] == 0;
  return r.code == ioctl_bulk_write || r.code == ioctl_anchor_download;
}

uint16_t le16(const uint8_t* b) { return static_cast<uint16_t>(b[0] | b[1] << 8); }
uint32_t be32(const uint8_t* b) {
  return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
         static_cast<uint32_t>(b[2]) << 8 | b[3];
}

}  // namespace

class fake_ezusb::provider : public platform::device_provider {
 public:
  provider(fake_ezusb& card, std::string name) : card_(card), name_(std::move(name)) {}

  std::string name() const override { return "fake-ezusb"; }
  bool serves(const platform::guid&) const override { return false; }
  std::vector<std::string> interfaces(const platform::guid&) override { return {}; }
  bool owns_path(const std::string& path) const override { return path == name_; }

  std::unique_ptr<platform::device_channel> open(const std::string&, uint32_t&) override {
    return std::make_unique<channel>(card_);
  }

 private:
  class channel : public platform::device_channel {
   public:
    explicit channel(fake_ezusb& card) : card_(card) {}
    uint32_t control(uint32_t code, const void* in, uint32_t in_length, void* out,
                     uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) override {
      const auto* bytes = static_cast<const uint8_t*>(in);
      request_seen r{code, std::vector<uint8_t>(bytes, bytes + in_length), out_capacity, timeout_ms, {}};
      if (sends_data(r)) {
        const auto* data = static_cast<const uint8_t*>(out);
        r.sent.assign(data, data + out_capacity);
      }
      card_.requests.push_back(r);
      returned = 0;
      if (card_.fail_when && card_.fail_when(r)) return card_.fail_error;
      return card_.serve(r, static_cast<uint8_t*>(out), returned);
    }

   private:
    fake_ezusb& card_;
  };

  fake_ezusb& card_;
  std::string name_;
};

fake_ezusb::fake_ezusb(const std::string& device_name)
    : provider_(std::make_shared<provider>(*this, device_name)) {
  platform::register_provider(provider_);
}

fake_ezusb::~fake_ezusb() { platform::unregister_provider(provider_); }

uint8_t fake_ezusb::vendor_code(const request_seen& r) {
  return r.code == ioctl_vendor_request && r.in.size() >= 10 ? r.in[4] : 0;
}

uint32_t fake_ezusb::vendor_address(const request_seen& r) {
  if (r.code != ioctl_vendor_request || r.in.size() < 10) return 0;
  return le16(&r.in[6]) | static_cast<uint32_t>(le16(&r.in[8])) << 16;
}

bool fake_ezusb::vendor_read(const request_seen& r) {
  return r.code == ioctl_vendor_request && r.in.size() >= 10 && r.in[0] == 1;
}

uint32_t fake_ezusb::serve(const request_seen& r, uint8_t* out, uint32_t& returned) {
  switch (r.code) {
    case ioctl_vendor_request:
      return vendor(r, out, returned);
    case ioctl_bulk_read: {
      if (r.in.size() != 4 || r.in[0] != 1) return platform::error::invalid_parameter;
      if (pipe_in.empty()) return error_timeout;
      const auto data = pipe_in.front();
      pipe_in.pop_front();
      returned = std::min<uint32_t>(r.out_capacity, static_cast<uint32_t>(data.size()));
      std::copy_n(data.begin(), returned, out);
      return platform::error::success;
    }
    case ioctl_bulk_write: {
      if (r.in.size() != 4) return platform::error::invalid_parameter;
      pipe_out[r.in[0]].push_back(r.sent);
      returned = static_cast<uint32_t>(r.sent.size());
      return platform::error::success;
    }
    case ioctl_reset_control: {
      if (r.in.size() != 10 || r.in[0] != 0xA0 || le16(&r.in[2]) != 0xE600 || le16(&r.in[6]) != 1) {
        return platform::error::invalid_parameter;
      }
      reset_log.push_back(r.in[9]);
      cpu_held = r.in[9] == 1;
      return platform::error::success;
    }
    case ioctl_anchor_download: {
      if (r.in.size() != 2) return platform::error::invalid_parameter;
      ram_writes.emplace_back(le16(r.in.data()), r.sent);
      returned = static_cast<uint32_t>(r.sent.size());
      return platform::error::success;
    }
    default:
      return platform::error::invalid_function;
  }
}

uint32_t fake_ezusb::memory(std::vector<uint8_t>& bytes, bool read, uint32_t address,
                            const uint8_t* data, uint32_t length, uint8_t* out,
                            uint32_t capacity, uint32_t& returned) {
  const uint32_t count = read ? capacity : length;
  if (address > bytes.size() || count > bytes.size() - address) return platform::error::gen_failure;
  if (read) {
    std::copy_n(bytes.begin() + address, count, out);
    returned = count;
  } else {
    std::copy_n(data, count, bytes.begin() + address);
  }
  return platform::error::success;
}

uint32_t fake_ezusb::vendor(const request_seen& r, uint8_t* out, uint32_t& returned) {
  if (r.in.size() != 10 || r.in[1] != 2 || r.in[2] != 0) return platform::error::invalid_parameter;
  const bool read = r.in[0] == 1;
  const uint8_t code = r.in[4];
  const uint32_t address = vendor_address(r);
  const uint8_t* data = r.sent.data();
  const auto length = static_cast<uint32_t>(r.sent.size());
  uint32_t status = platform::error::success;
  switch (code) {
    case 0xA1:
      if (!read || address != 0) return platform::error::invalid_parameter;
      returned = std::min<uint32_t>(4, r.out_capacity);
      std::memcpy(out, version, returned);
      break;
    case 0xA2:
      status = memory(eeprom, read, address, data, length, out, r.out_capacity, returned);
      break;
    case 0xA3:
      if (read) {
        if (address > xdata.size() || r.out_capacity > xdata.size() - address) {
          return platform::error::gen_failure;
        }
        for (uint32_t i = 0; i < r.out_capacity; ++i) {
          std::optional<uint8_t> hooked = on_xdata_read ? on_xdata_read(address + i) : std::nullopt;
          out[i] = hooked.value_or(xdata[address + i]);
        }
        returned = r.out_capacity;
      } else {
        status = memory(xdata, false, address, data, length, out, 0, returned);
        if (status == platform::error::success && on_xdata_write) {
          for (uint32_t i = 0; i < length; ++i) on_xdata_write(address + i, data[i]);
        }
      }
      break;
    case 0xAA: {
      if (read || length != 4 || address >= flash.size()) return platform::error::invalid_parameter;
      const uint32_t sector_start = address & ~0xFFFFu;
      const uint64_t end = std::min<uint64_t>(flash.size(), (uint64_t{address} + be32(data) + 0xFFFF) & ~0xFFFFull);
      std::fill(flash.begin() + sector_start, flash.begin() + static_cast<std::ptrdiff_t>(end), 0xFF);
      flash_pointer_ = address;
      break;
    }
    case 0xAB:
      if (read) {
        status = memory(flash, true, address, data, length, out, r.out_capacity, returned);
      } else {
        // Program writes follow one another from the erased start; cells only lose bits.
        if (length > flash.size() - flash_pointer_) return platform::error::gen_failure;
        for (uint32_t i = 0; i < length; ++i) flash[flash_pointer_ + i] &= data[i];
        flash_pointer_ += length;
      }
      break;
    case 0xAD:
      if (address != 0x53) return platform::error::gen_failure;  // no device answers
      if (read) {
        if (r.out_capacity != 1) return platform::error::invalid_parameter;
        out[0] = (i2c_register_ == 0xF8 || i2c_register_ == 0xF9) ? boot_mode_registers[i2c_register_ - 0xF8] : 0;
        returned = 1;
      } else {
        if (length < 1) return platform::error::invalid_parameter;
        i2c_register_ = data[0];
        if (length >= 2 && (data[0] == 0xF8 || data[0] == 0xF9)) boot_mode_registers[data[0] - 0xF8] = data[1];
      }
      break;
    case 0xAE:
      status = memory(idata, read, address, data, length, out, r.out_capacity, returned);
      break;
    case 0xAF:
      if (read) return platform::error::invalid_parameter;
      fpga_pieces.emplace_back(static_cast<uint16_t>(address), std::vector<uint8_t>(data, data + length));
      break;
    default:
      return platform::error::gen_failure;  // the firmware stalls unknown requests
  }
  if (read) {
    const auto limit = short_reads.find(code);
    if (limit != short_reads.end()) returned = std::min(returned, limit->second);
  }
  return status;
}

}  // namespace zamdiag::testing
