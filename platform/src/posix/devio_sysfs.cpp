// The sysfs provider: the configuration-space driver's requests served from
// /sys/bus/pci/devices/0000:BB:DD.F/config on a real Linux machine (PCI segment 0).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../config_driver_protocol.h"
#include "platform/devio.h"

namespace platform {
namespace {

constexpr const char* interface_path = "sysfs:pci-config";
constexpr const char* mcfg_table = "/sys/firmware/acpi/tables/MCFG";

class sysfs_channel : public config_driver::channel {
 public:
  explicit sysfs_channel(std::string root) : root_(std::move(root)) {}

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
    const int fd = ::open(path.c_str(), write ? O_WRONLY : O_RDONLY);
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
};

class sysfs_provider : public device_provider {
 public:
  explicit sysfs_provider(std::string root) : root_(std::move(root)) {}

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
    return std::make_unique<sysfs_channel>(root_);
  }

 private:
  std::string root_;
};

}  // namespace

std::shared_ptr<device_provider> make_sysfs_provider(std::string sysfs_root) {
  return std::make_shared<sysfs_provider>(std::move(sysfs_root));
}

std::shared_ptr<device_provider> make_system_provider() { return make_sysfs_provider(); }

}  // namespace platform
