// The packet log: every packet moved, a configuration request paired with its completion
// on one line, and a summary of the configuration bytes seen per completer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zamlib {

class packet_log {
 public:
  // Receives each finished piece of text (one or more whole lines).
  using sink = std::function<void(const std::string&)>;

  // Largest request held back for pairing, in bytes.
  static constexpr uint32_t max_pending_bytes = 4112;

  explicit packet_log(sink out) : out_(std::move(out)) {}

  // Logs one packet of `length` bytes; direction "<<" for requests read, ">>" for
  // completions written. Only `length` bytes of `words` are read.
  void record(const char* direction, const uint32_t* words, uint32_t length);
  // Prints a request still waiting for its completion on its own line.
  void flush_pending();
  // The summary of configuration bytes per completer ID, in order of first appearance.
  std::string summary() const;

 private:
  struct pending_request {
    std::string direction;
    std::vector<uint32_t> words;  // the whole words received, bounded
    uint32_t length = 0;
  };
  struct config_entry {
    uint32_t completer_id = 0;
    std::array<uint32_t, 16> values{};
    std::array<uint8_t, 16> masks{};  // bit i: byte i of the dword is known
  };

  bool pair_with_pending(const pending_request& request, const uint32_t* words, uint32_t length);
  void remember(uint32_t completer_id, uint32_t offset, uint32_t data, uint32_t byte_enables);

  sink out_;
  bool has_pending_ = false;
  pending_request pending_;
  std::vector<config_entry> entries_;
};

}  // namespace zamlib
