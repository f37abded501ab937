// The sysfs provider: the configuration-space driver's requests served from
// /sys/bus/pci/devices/0000:BB:DD.F/config on a real Linux machine (PCI segment 0).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "../config_driver_protocol.h"
#include "platform/devio.h"

namespace platform {
namespace {

constexpr const char* interface_path = "sysfs:pci-config";
constexpr const char* mcfg_table = "/sys/firmware/acpi/tables/MCFG";

// Which functions of segment 0 the sysfs folder holds, read again once it is older than its
// life. A function added since is seen within that life; one removed since fails to open and
// reads as absent, as before.
class function_listing {
 public:
  function_listing(std::string root, std::chrono::milliseconds life) : root_(std::move(root)), life_(life) {}

  // True only when a listing younger than its life lacks the function. (A handle may be
  // used from several threads.)
  bool absent(uint32_t bus, uint32_t device, uint32_t function) {
    if (life_.count() <= 0) return false;
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (!valid_ || now - listed_at_ >= life_) {
      read(now);
    }
    return valid_ && !present_.test((bus << 8) | (device << 3) | function);
  }

 private:
  void read(std::chrono::steady_clock::time_point now) {
    present_.reset();
    listed_at_ = now;
    DIR* folder = ::opendir(root_.c_str());
    valid_ = folder != nullptr;
    if (!folder) return;
    while (const dirent* entry = ::readdir(folder)) {
      unsigned domain, bus, device, function;
      char extra;
      if (std::sscanf(entry->d_name, "%x:%x:%x.%x%c", &domain, &bus, &device, &function, &extra) == 4 &&
          domain == 0 && bus < 256 && device < 32 && function < 8) {
        present_.set((bus << 8) | (device << 3) | function);
      }
    }
    ::closedir(folder);
  }

  std::string root_;
  std::chrono::milliseconds life_;
  bool valid_ = false;
  std::chrono::steady_clock::time_point listed_at_;
  std::bitset<65536> present_;
  std::mutex mutex_;
};

class sysfs_channel : public config_driver::channel {
 public:
  sysfs_channel(std::string root, std::chrono::milliseconds listing_life)
      : root_(root), listing_(std::move(root), listing_life) {}

 private:
  std::string config_path(uint32_t bus, uint32_t device, uint32_t function) const {
    char name[32];
    std::snprintf(name, sizeof name, "/0000:%02x:%02x.%x/config", bus, device, function);
    return root_ + name;
  }

  uint32_t config_access(bool write, const uint8_t* in, uint32_t in_length, uint8_t* out,
                         uint32_t out_capacity, uint32_t& returned) override {
    config_driver::access request{};
    if (const uint32_t status = config_driver::take_access(write, in, in_length, out, out_capacity, request)) {
      return status;
    }
    const uint32_t bus = request.bus, device = request.device, function = request.function;
    const uint32_t offset = request.offset, length = request.length;
    if (write) {
      // A write reaches real hardware: only when the operator asked for it.
      const char* allowed = std::getenv("ZAM_SYSFS_WRITE");
      if (allowed == nullptr || std::strcmp(allowed, "1") != 0) return error::access_denied;
    }
    const std::string path = config_path(bus, device, function);
    const bool listed_absent = !write && listing_.absent(bus, device, function);
    const int fd = listed_absent ? -1 : ::open(path.c_str(), write ? O_WRONLY : O_RDONLY);
    if (fd < 0) {
      if (write) return error::file_not_found;
      // No function there: the bus answers with all ones, as a master abort does.
      std::memset(out + config_driver::header_size, 0xFF, length);
      config_driver::put_word(out, 16, length);
      returned = config_driver::header_size + length;
      return error::success;
    }
    ssize_t done;
    if (write) {
      done = ::pwrite(fd, in + config_driver::header_size, length, offset);
    } else {
      done = ::pread(fd, out + config_driver::header_size, length, offset);
    }
    ::close(fd);
    if (done < 0) return write ? error::access_denied : error::gen_failure;
    // A short transfer (past the end of what the kernel exposes) reports the shorter length;
    // the caller compares it with what it asked for.
    config_driver::put_word(out, 16, static_cast<uint32_t>(done));
    returned = config_driver::header_size + (write ? 0 : static_cast<uint32_t>(done));
    return error::success;
  }

  uint32_t query_firmware_table(uint8_t* out, uint32_t out_capacity, uint32_t& returned) override {
    if (out_capacity < 24) return error::insufficient_buffer;
    // ACPI MCFG: 36-byte header, 8 reserved bytes, then 16-byte allocations of
    // base address (8), segment (2), start bus (1), end bus (1), reserved (4).
    const int fd = ::open(mcfg_table, O_RDONLY);
    if (fd < 0) return error::access_denied;
    uint8_t table[4096];
    const ssize_t size = ::read(fd, table, sizeof table);
    ::close(fd);
    for (ssize_t at = 44; size > 0 && at + 16 <= size; at += 16) {
      uint64_t base;
      uint16_t segment;
      std::memcpy(&base, table + at, 8);
      std::memcpy(&segment, table + at + 8, 2);
      if (segment != 0) continue;
      const uint8_t start_bus = table[at + 10], end_bus = table[at + 11];
      std::memset(out, 0, 24);
      config_driver::put_u64(out, 0, base);
      out[8] = start_bus;
      out[9] = end_bus;
      config_driver::put_u64(out, 16, (uint64_t{end_bus} - start_bus + 1) << 20);
      returned = 24;
      return error::success;
    }
    return error::not_supported;
  }

  std::string root_;
  function_listing listing_;
};

class sysfs_provider : public device_provider {
 public:
  sysfs_provider(std::string root, std::chrono::milliseconds listing_life)
      : root_(std::move(root)), listing_life_(listing_life) {}

  std::string name() const override { return "sysfs"; }

  bool serves(const guid& interface_class) const override {
    return interface_class == driver_class::config_space;
  }

  std::vector<std::string> interfaces(const guid& interface_class) override {
    struct stat info {};
    if (!serves(interface_class) || stat(root_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      return {};
    }
    return {interface_path};
  }

  bool owns_path(const std::string& path) const override { return path == interface_path; }

  std::unique_ptr<device_channel> open(const std::string& path, uint32_t& error_code) override {
    if (path != interface_path) {
      error_code = error::file_not_found;
      return nullptr;
    }
    return std::make_unique<sysfs_channel>(root_, listing_life_);
  }

 private:
  std::string root_;
  std::chrono::milliseconds listing_life_;
};

}  // namespace

std::shared_ptr<device_provider> make_sysfs_provider(std::string sysfs_root,
                                                     std::chrono::milliseconds listing_life) {
  return std::make_shared<sysfs_provider>(std::move(sysfs_root), listing_life);
}

std::shared_ptr<device_provider> make_system_provider() { return make_sysfs_provider(); }

}  // namespace platform
