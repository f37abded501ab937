// Fuzz target: the trace decoder and its writers over arbitrary bytes as a card's trace,
// and the XML log reader over the same bytes as a log's text (each dump decoded in turn).
// Checks: every byte of the trace belongs to exactly one record, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "zamtrace/decode.h"
#include "zamtrace/format.h"
#include "zamtrace/read.h"

namespace {

void decode_and_write(const uint8_t* data, size_t size) {
  const auto records = zamtrace::decode(data, size);
  size_t next = 0;
  for (const auto& r : records) {
    if (r.offset != next) std::abort();  // a gap or an overlap: bytes lost
    next = r.offset + (r.kind == zamtrace::record_kind::invalid ? r.bytes.size() : 8 + r.bytes.size());
  }
  if (next != size) std::abort();
  (void)zamtrace::listing(records);
  (void)zamtrace::csv(records);
  (void)zamtrace::json(records);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  decode_and_write(data, size);
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)zamtrace::looks_like_xml_log(text);
  for (const auto& dump : zamtrace::read_xml_log(text)) {
    if (dump.bytes.size() > dump.declared_bytes) std::abort();
    decode_and_write(dump.bytes.data(), dump.bytes.size());
  }
  return 0;
}
