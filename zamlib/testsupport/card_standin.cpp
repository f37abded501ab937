// Test support: the card's USB device in-process, serving the two bulk pipes.
#include "card_standin.h"

#include <cstring>

#include "platform/devio.h"

namespace zamlib_testing {

constexpr uint32_t bulk_read = 0x0022204E;
constexpr uint32_t bulk_write = 0x00222051;

class standin_channel : public platform::device_channel {
 public:
  explicit standin_channel(card_standin& card) : card_(card) {
    std::lock_guard lock(card_.mutex_);
    ++card_.open_channels_;
  }
  ~standin_channel() override {
    std::lock_guard lock(card_.mutex_);
    --card_.open_channels_;
  }
  uint32_t control(uint32_t code, const void* in, uint32_t in_length, void* out, uint32_t out_capacity,
                   uint32_t& returned, uint32_t timeout_ms) override {
    return card_.serve(code, static_cast<const uint8_t*>(in), in_length, static_cast<uint8_t*>(out), out_capacity,
                       returned, timeout_ms);
  }

 private:
  card_standin& card_;
};

class standin_provider : public platform::device_provider {
 public:
  standin_provider(card_standin& card, std::string name) : card_(card), name_(std::move(name)) {}
  std::string name() const override { return "card stand-in"; }
  bool serves(const platform::guid&) const override { return false; }
  std::vector<std::string> interfaces(const platform::guid&) override { return {}; }
  bool owns_path(const std::string& path) const override { return path == name_; }
  std::unique_ptr<platform::device_channel> open(const std::string&, uint32_t& error_code) override {
    {
      std::lock_guard lock(card_.mutex_);
      ++card_.open_attempts_;
      if (card_.failing_opens_ > 0) {
        --card_.failing_opens_;
        error_code = platform::error::file_not_found;
        return nullptr;
      }
    }
    return std::make_unique<standin_channel>(card_);
  }

 private:
  card_standin& card_;
  std::string name_;
};

card_standin::card_standin(std::string name) : provider_(std::make_shared<standin_provider>(*this, std::move(name))) {
  platform::register_provider(provider_);
}

card_standin::~card_standin() { platform::unregister_provider(provider_); }

void card_standin::queue_request(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> bytes;
  for (uint32_t w : words) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(w >> shift));
  }
  queue_bytes(bytes);
}

void card_standin::queue_bytes(const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  requests_.push_back(bytes);
}

void card_standin::end_reads_with(uint32_t error) {
  std::lock_guard lock(mutex_);
  end_error_ = error;
}

void card_standin::fail_opens(int count) {
  std::lock_guard lock(mutex_);
  failing_opens_ = count;
}

void card_standin::fail_writes_with(uint32_t error) {
  std::lock_guard lock(mutex_);
  write_error_ = error;
}

std::vector<std::vector<uint32_t>> card_standin::completions() const {
  std::lock_guard lock(mutex_);
  return completions_;
}

std::vector<uint32_t> card_standin::completion_lengths() const {
  std::lock_guard lock(mutex_);
  return completion_lengths_;
}

std::vector<uint32_t> card_standin::read_timeouts() const {
  std::lock_guard lock(mutex_);
  return read_timeouts_;
}

int card_standin::open_attempts() const {
  std::lock_guard lock(mutex_);
  return open_attempts_;
}

int card_standin::open_channels() const {
  std::lock_guard lock(mutex_);
  return open_channels_;
}

std::size_t card_standin::requests_left() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

uint32_t card_standin::serve(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out,
                             uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) {
  std::lock_guard lock(mutex_);
  returned = 0;
  if (in_length != 4) return platform::error::invalid_parameter;
  uint32_t pipe = 0;
  std::memcpy(&pipe, in, 4);
  if (code == bulk_read && pipe == 1) {
    read_timeouts_.push_back(timeout_ms);
    if (requests_.empty()) return end_error_;
    const std::vector<uint8_t> packet = std::move(requests_.front());
    requests_.pop_front();
    if (packet.size() > out_capacity) return platform::error::insufficient_buffer;
    if (!packet.empty()) std::memcpy(out, packet.data(), packet.size());  // an empty transfer may have no buffer
    returned = static_cast<uint32_t>(packet.size());
    return platform::error::success;
  }
  if (code == bulk_write && pipe == 0) {
    if (write_error_ != 0) return write_error_;
    std::vector<uint32_t> words((out_capacity + 3) / 4, 0);
    for (uint32_t i = 0; i < out_capacity; ++i) {
      words[i / 4] |= uint32_t{out[i]} << (24 - 8 * (i % 4));
    }
    completions_.push_back(words);
    completion_lengths_.push_back(out_capacity);
    returned = out_capacity;
    return platform::error::success;
  }
  return platform::error::invalid_function;
}

namespace {

uint32_t target(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset) {
  return (bus & 0xFF) << 24 | (device & 0x1F) << 19 | (function & 0x7) << 16 | (offset & 0xFFC);
}

}  // namespace

std::vector<uint32_t> config_read(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t tag,
                                  uint32_t first_be, bool type1) {
  return {type1 ? 0x05000001u : 0x04000001u, (tag & 0xFF) << 8 | (first_be & 0xF),
          target(bus, device, function, offset)};
}

std::vector<uint32_t> config_write(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t tag,
                                   uint32_t data, uint32_t first_be, bool type1) {
  return {type1 ? 0x45000001u : 0x44000001u, (tag & 0xFF) << 8 | (first_be & 0xF),
          target(bus, device, function, offset), data};
}

}  // namespace zamlib_testing
