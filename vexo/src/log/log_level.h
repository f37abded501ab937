// What each message level becomes in the three log kinds, and which counter it feeds.
#pragma once

#include <cstdint>

namespace vexo {

// Opening and closing free-text tags of the XML log, e.g. "<INFO>\n" and "</INFO>\n".
struct xml_tag_pair {
  const char* open;
  const char* close;
};
xml_tag_pair xml_free_text_tags(int32_t level);

// Status word of an XML assertion entry ("SUCCESS", "FAILED", ..., "UNKNOWN STATUS").
const char* assertion_status_word(int32_t level);

// Eight-character console prefix ("INFO    ", ...); empty for levels without one.
const char* console_prefix(int32_t level);

}  // namespace vexo
