// The station hierarchy on the Lattix engine: requests from the root complex (requester
// 00:00.0) through the packet handler, Type 0 on the root bus and Type 1 below it.
#include "base/lattix_hierarchy.h"

#include <cstdio>
#include <cstring>

#include "lattix/lattix.h"

namespace zamsim {
namespace {

constexpr uint8_t cfg_rd0 = 0x04, cfg_rd1 = 0x05, cfg_wr0 = 0x44, cfg_wr1 = 0x45;
constexpr uint8_t root_bus = 0;

// The data word keeps the wire order: configuration byte 0 in bits 31..24.
uint32_t wire_order(uint32_t value) { return __builtin_bswap32(value); }

class lattix_hierarchy : public hierarchy {
 public:
  lattix_hierarchy(device** devices, int count, topology* tree, packetHandler* handler)
      : devices_(devices), count_(count), tree_(tree), handler_(handler) {}

  ~lattix_hierarchy() override {
    delete handler_;
    delete tree_;  // owns the devices, the connection table and the buses
  }

  completion read_dword(bdf target, uint16_t offset, uint32_t& value) override {
    const uint32_t request[3] = {request_word0(false, target), request_word1(0x0F), request_word2(target, offset)};
    return complete(request, &value);
  }

  completion write_dword(bdf target, uint16_t offset, uint8_t byte_enables, uint32_t value) override {
    const uint32_t request[4] = {request_word0(true, target), request_word1(byte_enables),
                                 request_word2(target, offset), wire_order(value)};
    return complete(request, nullptr);
  }

  std::optional<bdf> locate(int script_device) override {
    device* d = find(script_device);
    if (d == nullptr) return std::nullopt;
    return bdf{static_cast<uint8_t>(d->GetBusNum()), d->GetDevNum(), 0};
  }

  std::optional<int> script_device_at(bdf at) override {
    for (int i = 0; i < count_; ++i) {
      device* d = devices_[i];
      if ((d->GetBusNum() & 0xFF) != at.bus || d->GetDevNum() != at.device) continue;
      int number = -1;
      if (std::sscanf(d->GetDevScriptString(), "Script Device %d", &number) == 1) return number;
    }
    return std::nullopt;
  }

  bool strap(int script_device, uint16_t offset, uint32_t value, uint32_t mask) override {
    if (!drive(script_device, offset, value, mask)) return false;
    find(script_device)->getFunction(0)->takeResetSnapshot();  // wiring survives resets
    return true;
  }

  bool drive(int script_device, uint16_t offset, uint32_t value, uint32_t mask) override {
    device* d = find(script_device);
    configSpace* space = d ? d->getFunction(0) : nullptr;
    if (space == nullptr || offset > 0xFFC) return false;
    space->statusWrite(offset, 4, (space->rawValue(offset, 4) & ~mask) | (value & mask));
    return true;
  }

  uint16_t pcie_capability(int script_device) override {
    device* d = find(script_device);
    return d ? d->findCapability(0, 0x10) : 0;
  }

  packetHandler* handler() const { return handler_; }

  std::string describe() override {
    std::string text = "hierarchy: " + std::to_string(count_) + " devices\n";
    for (int i = 0; i < count_; ++i) {
      device* d = devices_[i];
      for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
        if (!d->isFunction(fn)) continue;
        char line[200];
        std::snprintf(line, sizeof line, "  %02x:%02x.%x  %04x:%04x  %-7s %s\n", d->GetBusNum() & 0xFF,
                      d->GetDevNum(), fn, d->read2(fn, 0), d->read2(fn, 2), d->isBridge(fn) ? "bridge" : "endpoint",
                      d->GetDevScriptString());
        text += line;
      }
    }
    return text;
  }

 private:
  static uint32_t request_word0(bool write, bdf target) {
    const uint8_t kind = target.bus == root_bus ? (write ? cfg_wr0 : cfg_rd0) : (write ? cfg_wr1 : cfg_rd1);
    return uint32_t{kind} << 24 | 1;  // length 1
  }
  uint32_t request_word1(uint8_t byte_enables) {
    return uint32_t{tag_++} << 8 | (byte_enables & 0x0F);  // requester 00:00.0
  }
  static uint32_t request_word2(bdf target, uint16_t offset) {
    return uint32_t{target.bus} << 24 | uint32_t{target.device} << 19 | uint32_t{target.function} << 16 |
           (offset & 0xFFCu);
  }

  completion complete(const uint32_t* request, uint32_t* value) {
    uint32_t* reply = handler_->handle(request);
    if (reply == nullptr) return completion::none;
    const uint32_t status = (reply[1] >> 13) & 7;
    completion result = completion::abort;
    if (status == 0) {
      result = completion::success;
      if (value != nullptr) *value = (reply[0] >> 24) == 0x4A ? wire_order(reply[3]) : 0xFFFFFFFFu;
    } else if (status == 1) {
      result = completion::unsupported;
    } else if (status == 2) {
      result = completion::retry;
    }
    releaseCompletion(reply);
    return result;
  }

  device* find(int script_device) const {
    char name[64];
    std::snprintf(name, sizeof name, "Script Device %d", script_device);
    for (int i = 0; i < count_; ++i) {
      if (std::strcmp(devices_[i]->GetDevScriptString(), name) == 0) return devices_[i];
    }
    return nullptr;
  }

  device** devices_;
  int count_;
  topology* tree_;
  packetHandler* handler_;
  uint8_t tag_ = 0;
};

}  // namespace

packetHandler* packet_handler_of(hierarchy& tree) {
  auto* engine = dynamic_cast<lattix_hierarchy*>(&tree);
  return engine ? engine->handler() : nullptr;
}

std::unique_ptr<hierarchy> make_lattix_hierarchy(const std::string& script_path, std::string& error) {
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* tree = nullptr;
  packetHandler* handler = nullptr;
  if (!scriptParser(script_path.c_str(), devices, connections, count, tree, handler)) {
    error = "topology script " + script_path + " does not build (the engine's messages are above)";
    return nullptr;
  }
  return std::make_unique<lattix_hierarchy>(devices, count, tree, handler);
}

}  // namespace zamsim
