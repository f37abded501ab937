// The dump provider: the configuration-space driver's requests served, read-only, from a
// text dump of `lspci -x`, `-xxx` or `-xxxx` (see platform/config_dump.h).
#include <cstdio>
#include <map>
#include <mutex>

#include "config_driver_protocol.h"
#include "platform/config_dump.h"
#include "platform/devio.h"

namespace platform {
namespace {

constexpr const char* interface_path = "dump:pci-config";

uint32_t bdf_key(uint32_t bus, uint32_t device, uint32_t function) {
  return (bus << 8) | (device << 3) | function;
}

// What the provider serves of the dump: the functions of domain 0 by bus/device/function
// (the driver's requests carry no domain), and the one-time notice of a refused write.
struct dump_contents {
  std::string path;
  std::map<uint32_t, std::vector<uint8_t>> functions;
  std::mutex mutex;
  bool write_reported = false;
};

class dump_channel : public config_driver::channel {
 public:
  explicit dump_channel(std::shared_ptr<dump_contents> contents) : contents_(std::move(contents)) {}

 private:
  uint32_t query_firmware_table(uint8_t*, uint32_t, uint32_t&) override {
    return error::not_supported;  // a dump carries no firmware tables
  }

  uint32_t config_access(bool write, const uint8_t* in, uint32_t in_length, uint8_t* out,
                         uint32_t out_capacity, uint32_t& returned) override {
    config_driver::access request{};
    if (const uint32_t status = config_driver::take_access(write, in, in_length, out, out_capacity, request)) {
      return status;
    }
    if (write) return refuse_write(request);
    uint8_t* data = out + config_driver::header_size;
    const auto found = contents_->functions.find(bdf_key(request.bus, request.device, request.function));
    uint32_t done = request.length;
    if (found == contents_->functions.end()) {
      // No function there: the bus answers with all ones, as a master abort does.
      std::memset(data, 0xFF, request.length);
    } else {
      // Past what the dump gives, the transfer comes back short.
      const std::vector<uint8_t>& bytes = found->second;
      const std::size_t available = request.offset < bytes.size() ? bytes.size() - request.offset : 0;
      if (available < done) done = static_cast<uint32_t>(available);
      if (done > 0) std::memcpy(data, bytes.data() + request.offset, done);
    }
    config_driver::put_word(out, 16, done);
    returned = config_driver::header_size + done;
    return error::success;
  }

  // A dump is a record of a machine, never the machine: writes are refused, as sysfs refuses
  // them without permission. Said once, so that a program that writes often is not drowned.
  uint32_t refuse_write(const config_driver::access& request) {
    std::lock_guard lock(contents_->mutex);
    if (!contents_->write_reported) {
      contents_->write_reported = true;
      std::fprintf(stderr,
                   "configuration write to %02x:%02x.%x at 0x%03x refused: the configuration space "
                   "comes from the dump %s, which is read-only (later writes are refused too)\n",
                   request.bus, request.device, request.function, request.offset, contents_->path.c_str());
      std::fflush(stderr);
    }
    return error::access_denied;
  }

  std::shared_ptr<dump_contents> contents_;
};

class dump_provider : public device_provider {
 public:
  explicit dump_provider(std::string path) : contents_(std::make_shared<dump_contents>()) {
    contents_->path = std::move(path);
    config_dump dump;
    if (!load_config_dump(contents_->path, dump, trouble_)) {
      trouble_ = "the configuration dump " + contents_->path + " cannot be used: " + trouble_;
      std::fprintf(stderr, "%s\n", trouble_.c_str());
      std::fflush(stderr);
      return;
    }
    std::vector<const dumped_function*> elsewhere;
    for (const dumped_function& f : dump.functions) {
      if (f.domain == 0) {
        contents_->functions.emplace(bdf_key(f.bus, f.device, f.function), f.bytes);
      } else {
        elsewhere.push_back(&f);
      }
    }
    if (!elsewhere.empty()) report_other_domains(elsewhere);
    loaded_ = true;
  }

  std::string name() const override { return "dump"; }

  bool serves(const guid& interface_class) const override {
    return interface_class == driver_class::config_space;
  }

  // A dump that cannot be used lists no interface (and hides sysfs all the same: a run
  // meant for a dump never reads the machine it runs on).
  std::vector<std::string> interfaces(const guid& interface_class) override {
    if (!serves(interface_class) || !loaded_) return {};
    return {interface_path};
  }

  bool owns_path(const std::string& path) const override { return path == interface_path; }

  std::unique_ptr<device_channel> open(const std::string& path, uint32_t& error_code) override {
    if (path != interface_path || !loaded_) {
      error_code = error::file_not_found;
      return nullptr;
    }
    return std::make_unique<dump_channel>(contents_);
  }

  std::string trouble() const override { return trouble_; }

 private:
  // The driver's requests reach domain 0 only: the functions of other domains are named,
  // never dropped without a word.
  void report_other_domains(const std::vector<const dumped_function*>& elsewhere) {
    std::string names;
    for (std::size_t i = 0; i < elsewhere.size() && i < 8; ++i) {
      names += (i == 0 ? "" : ", ") + dumped_address(*elsewhere[i]) + " (line " +
               std::to_string(elsewhere[i]->line) + ")";
    }
    if (elsewhere.size() > 8) names += " and " + std::to_string(elsewhere.size() - 8) + " more";
    std::fprintf(stderr,
                 "the configuration dump %s: %zu function(s) outside domain 0000 are not served "
                 "(the configuration-space driver reaches domain 0000 only): %s\n",
                 contents_->path.c_str(), elsewhere.size(), names.c_str());
    std::fflush(stderr);
  }

  std::shared_ptr<dump_contents> contents_;
  bool loaded_ = false;
  std::string trouble_;
};

}  // namespace

std::shared_ptr<device_provider> make_dump_provider(std::string path) {
  return std::make_shared<dump_provider>(std::move(path));
}

}  // namespace platform
