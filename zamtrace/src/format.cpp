// The listing, CSV and JSON writers.
#include "zamtrace/format.h"

#include <cstdio>

#include "zamtrace/decode.h"

namespace zamtrace {
namespace {

std::string hex(uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string register_text(uint16_t offset) { return hex(offset, 3); }

std::string message_text(const decoded_record& r) {
  return message_name(*r.message_code) + " (" + routing_name(r.message_routing.value_or(0)) + ")";
}

std::string time_text(const decoded_record& r) { return r.time_ns ? std::to_string(*r.time_ns) : ""; }

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

template <typename T>
std::string optional_number(const std::optional<T>& value) {
  return value ? std::to_string(unsigned{*value}) : "";
}

}  // namespace

const char* kind_name(record_kind kind) {
  switch (kind) {
    case record_kind::tlp: return "TLP";
    case record_kind::dllp: return "DLLP";
    case record_kind::invalid: break;
  }
  return "invalid";
}

const char* direction_name(link_direction d) {
  switch (d) {
    case link_direction::upstream: return "upstream";
    case link_direction::downstream: return "downstream";
    case link_direction::unknown: break;
  }
  return "unknown";
}

std::string hex_bytes(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}

std::string marks_text(uint32_t marks) {
  std::string text;
  for (uint32_t bit = 1; bit <= mark_discarded; bit <<= 1) {
    if (!(marks & bit)) continue;
    if (!text.empty()) text += ',';
    text += mark_name(static_cast<card_mark>(bit));
  }
  return text;
}

std::string fields_text(const decoded_record& r) {
  std::string text;
  auto add = [&text](const std::string& part) {
    if (!text.empty()) text += ' ';
    text += part;
  };
  if (r.kind == record_kind::invalid) {
    add(r.problem + ":");
    add(hex_bytes(r.bytes));
    return text;
  }
  if (r.requester) add("requester " + bdf_text(*r.requester));
  if (r.completer) add("completer " + bdf_text(*r.completer));
  if (r.tag) add("tag " + std::to_string(*r.tag));
  if (r.status) add("status " + *r.status);
  if (r.message_code) add(message_text(r));
  if (r.address) add("address " + hex(*r.address, *r.address > 0xFFFFFFFFu ? 16 : 8));
  if (r.config_register) add("register " + register_text(*r.config_register));
  if (r.length) add("length " + std::to_string(*r.length));
  if (r.byte_count) add("bytes " + std::to_string(*r.byte_count));
  if (r.first_be) add("be " + hex(*r.first_be, 1).substr(2) + "/" + hex(r.last_be.value_or(0), 1).substr(2));
  if (r.seq) add("seq " + std::to_string(*r.seq));
  if (r.vc) add("vc " + std::to_string(*r.vc));
  if (r.header_credits) add("hdr " + std::to_string(*r.header_credits));
  if (r.data_credits) add("data " + std::to_string(*r.data_credits));
  if (r.crc_good && !*r.crc_good) add("CRC wrong");
  if (!r.problem.empty()) add("(" + r.problem + ")");
  // An undefined or vendor-specific DLLP: its six bytes (the record's payload bytes 1-6).
  if (r.kind == record_kind::dllp && (r.type.rfind("DLLP ", 0) == 0 || r.type == "Vendor-specific")) {
    add(r.bytes.size() == 8 ? hex_bytes(std::vector<uint8_t>(r.bytes.begin() + 1, r.bytes.end() - 1))
                            : hex_bytes(r.bytes));
  }
  return text;
}

std::string listing_heading() {
  char line[128];
  std::snprintf(line, sizeof line, "%6s %12s %-4s %-26s %s\n", "index", "time ns", "dir", "type", "fields [marks]");
  return line;
}

std::string listing_line(const decoded_record& r) {
  const char* dir = r.direction == link_direction::upstream ? "up"
                    : r.direction == link_direction::downstream ? "down"
                                                                : "-";
  const std::string time = r.time_ns ? std::to_string(*r.time_ns) : "-";
  std::string fields = fields_text(r);
  if (r.marks) fields += (fields.empty() ? "[" : " [") + marks_text(r.marks) + "]";
  char head[96];
  std::snprintf(head, sizeof head, "%6zu %12s %-4s %-26s ", r.index, time.c_str(), dir, r.type.c_str());
  std::string line = head + fields;
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line + "\n";
}

std::string listing(const std::vector<decoded_record>& records) {
  std::string text = listing_heading();
  for (const auto& r : records) text += listing_line(r);
  return text;
}

std::string csv_heading() {
  return "index,offset,time_ns,direction,kind,type,requester,completer,tag,address,register,length,first_be,"
         "last_be,status,byte_count,message,seq,vc,hdr_credits,data_credits,crc,marks,problem,bytes\r\n";
}

std::string csv_row(const decoded_record& r) {
  std::string row = std::to_string(r.index) + ',' + std::to_string(r.offset) + ',' + time_text(r) + ',' +
                    direction_name(r.direction) + ',' + kind_name(r.kind) + ',' + csv_field(r.type) + ',';
  row += (r.requester ? bdf_text(*r.requester) : "") + ',';
  row += (r.completer ? bdf_text(*r.completer) : "") + ',';
  row += optional_number(r.tag) + ',';
  row += (r.address ? hex(*r.address, 8) : "") + ',';
  row += (r.config_register ? register_text(*r.config_register) : "") + ',';
  row += optional_number(r.length) + ',';
  row += (r.first_be ? hex(*r.first_be, 1) : "") + ',';
  row += (r.last_be ? hex(*r.last_be, 1) : "") + ',';
  row += csv_field(r.status.value_or("")) + ',';
  row += optional_number(r.byte_count) + ',';
  row += csv_field(r.message_code ? message_text(r) : "") + ',';
  row += optional_number(r.seq) + ',';
  row += optional_number(r.vc) + ',';
  row += optional_number(r.header_credits) + ',';
  row += optional_number(r.data_credits) + ',';
  row += std::string(r.crc_good ? (*r.crc_good ? "good" : "bad") : "") + ',';
  row += csv_field(marks_text(r.marks)) + ',';
  row += csv_field(r.problem) + ',';
  row += hex_bytes(r.bytes);
  return row + "\r\n";
}

std::string csv(const std::vector<decoded_record>& records) {
  std::string text = csv_heading();
  for (const auto& r : records) text += csv_row(r);
  return text;
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string json_object(const decoded_record& r) {
  std::string o = "{\"index\": " + std::to_string(r.index) + ", \"offset\": " + std::to_string(r.offset) +
                  ", \"kind\": \"" + kind_name(r.kind) + "\", \"type\": " + json_string(r.type) +
                  ", \"direction\": \"" + direction_name(r.direction) + "\"";
  if (r.time_ns) o += ", \"time_ns\": " + std::to_string(*r.time_ns);
  auto number = [&o](const char* name, auto value) {
    if (value) o += std::string(", \"") + name + "\": " + std::to_string(unsigned{*value});
  };
  auto text = [&o](const char* name, const std::string& value) {
    o += std::string(", \"") + name + "\": " + json_string(value);
  };
  if (r.requester) text("requester", bdf_text(*r.requester));
  if (r.completer) text("completer", bdf_text(*r.completer));
  number("tag", r.tag);
  if (r.address) text("address", hex(*r.address, 8));
  number("register", r.config_register);
  number("length", r.length);
  number("first_be", r.first_be);
  number("last_be", r.last_be);
  if (r.status) text("status", *r.status);
  number("byte_count", r.byte_count);
  if (r.message_code) {
    number("message_code", r.message_code);
    text("message", message_name(*r.message_code));
    text("routing", routing_name(r.message_routing.value_or(0)));
  }
  number("seq", r.seq);
  number("vc", r.vc);
  number("hdr_credits", r.header_credits);
  number("data_credits", r.data_credits);
  if (r.crc_good) o += std::string(", \"crc_good\": ") + (*r.crc_good ? "true" : "false");
  o += ", \"marks\": [";
  const std::string marks = marks_text(r.marks);
  for (std::size_t from = 0; from < marks.size();) {
    std::size_t comma = marks.find(',', from);
    if (comma == std::string::npos) comma = marks.size();
    if (from) o += ", ";
    o += json_string(marks.substr(from, comma - from));
    from = comma + 1;
  }
  o += "]";
  if (!r.problem.empty()) text("problem", r.problem);
  text("bytes", hex_bytes(r.bytes));
  return o + "}";
}

std::string json(const std::vector<decoded_record>& records) {
  std::string text = "[";
  for (std::size_t i = 0; i < records.size(); ++i) text += (i ? ",\n " : "\n ") + json_object(records[i]);
  return text + (records.empty() ? "]\n" : "\n]\n");
}

}  // namespace zamtrace
