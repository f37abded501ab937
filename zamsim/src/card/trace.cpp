// The trace buffer: records in the format the framework reads.
#include "card/trace.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zamsim {
namespace {
uint8_t annotation_bits(const trace_note& note) {
  if (!note.annotated) return 0;
  return static_cast<uint8_t>(0x08 | (note.downstream ? 0x10 : 0) | (note.action & 7) << 5);
}
}  // namespace

void trace_buffer::add_record(uint8_t kind, uint16_t words, const uint8_t* payload, std::size_t length,
                              const trace_note& note) {
  std::lock_guard lock(mutex_);
  if (data_.size() + 8 + length > capacity_) {
    ++dropped_;
    last_record_ = SIZE_MAX;
    return;
  }
  const uint32_t time = note.annotated ? static_cast<uint32_t>(note.time_ns) : 0;
  const uint8_t header[8] = {trace_marker,
                             static_cast<uint8_t>((kind & 7) | annotation_bits(note)),
                             static_cast<uint8_t>(words),
                             static_cast<uint8_t>(words >> 8),
                             static_cast<uint8_t>(time),
                             static_cast<uint8_t>(time >> 8),
                             static_cast<uint8_t>(time >> 16),
                             static_cast<uint8_t>(time >> 24)};
  last_record_ = data_.size();
  data_.insert(data_.end(), header, header + 8);
  data_.insert(data_.end(), payload, payload + length);
}

void trace_buffer::set_last_action(uint8_t action) {
  std::lock_guard lock(mutex_);
  if (last_record_ == SIZE_MAX || last_record_ + 1 >= data_.size()) return;
  data_[last_record_ + 1] = static_cast<uint8_t>((data_[last_record_ + 1] & 0x1F) | (action & 7) << 5);
}

void trace_buffer::add_tlp(const std::vector<uint8_t>& tlp, const trace_note& note) {
  // TLPs are whole dwords on the link.
  std::vector<uint8_t> padded = tlp;
  padded.resize((tlp.size() + 3) & ~std::size_t{3}, 0);
  add_record(trace_kind_tlp, static_cast<uint16_t>(padded.size() / 4), padded.data(), padded.size(), note);
}

void trace_buffer::add_dllp(const std::vector<uint8_t>& dllp, const trace_note& note) {
  uint8_t payload[8] = {};
  std::memcpy(payload + 1, dllp.data(), dllp.size() < 6 ? dllp.size() : 6);
  add_record(trace_kind_dllp, 2, payload, sizeof payload, note);
}

void trace_buffer::clear() {
  std::lock_guard lock(mutex_);
  data_.clear();
  dropped_ = 0;
  last_record_ = SIZE_MAX;
}

std::size_t trace_buffer::size() const {
  std::lock_guard lock(mutex_);
  return data_.size();
}

std::size_t trace_buffer::read(uint8_t* out, std::size_t length) const {
  std::lock_guard lock(mutex_);
  const std::size_t count = length < data_.size() ? length : data_.size();
  if (count > 0) std::memcpy(out, data_.data(), count);
  return count;
}

std::vector<uint8_t> trace_buffer::bytes() const {
  std::lock_guard lock(mutex_);
  return data_;
}

std::size_t trace_buffer::dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

std::string trace_buffer::describe(std::size_t max_records) const {
  std::lock_guard lock(mutex_);
  std::string text;
  std::size_t at = 0, shown = 0;
  while (at + 8 <= data_.size() && data_[at] == trace_marker) {
    const uint8_t kind = data_[at + 1] & 7;
    const std::size_t payload = kind <= 2 ? std::size_t{4} * (data_[at + 2] | data_[at + 3] << 8)
                                          : kind == trace_kind_dllp ? 8 : 0;
    if (at + 8 + payload > data_.size()) break;
    if (shown < max_records) {
      char line[160];
      const uint8_t* p = data_.data() + at + 8;
      if (kind == trace_kind_dllp) {
        std::snprintf(line, sizeof line, "  DLLP %02x %02x %02x %02x %02x %02x\n", p[1], p[2], p[3], p[4], p[5], p[6]);
      } else if (kind <= 2 && payload >= 12) {
        std::snprintf(line, sizeof line, "  TLP  %02x%02x%02x%02x %02x%02x%02x%02x %02x%02x%02x%02x%s\n", p[0], p[1],
                      p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10], p[11], payload > 12 ? " ..." : "");
      } else {
        std::snprintf(line, sizeof line, "  record kind %u, %zu payload bytes\n", kind, payload);
      }
      text += line;
    }
    ++shown;
    at += 8 + payload;
  }
  if (shown > max_records) text += "  ... " + std::to_string(shown - max_records) + " more records\n";
  return text;
}

}  // namespace zamsim
