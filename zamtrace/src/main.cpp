// zamtrace: decodes a card trace (a raw trace file, a program's XML log, or the card's
// current trace through the card driver) into a listing, CSV or JSON.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/devio.h"
#include "platform/input_file.h"
#include "platform/process.h"
#include "platform/standard_options.h"
#include "zamtrace/decode.h"
#include "zamtrace/format.h"
#include "zamtrace/read.h"

namespace {

constexpr const char* usage_text =
    "usage: zamtrace [--csv | --json] [--dump N] FILE\n"
    "       zamtrace [--csv | --json] --card\n"
    "Decodes a card trace: FILE is a raw trace (the record bytes) or a program's XML log\n"
    "(its trace dump, the last one unless --dump N picks another, from 1); --card reads the\n"
    "card's current trace through the card driver.\n"
    "  --csv    comma-separated values, one row per record\n"
    "  --json   one JSON array, one object per record\n"
    "Exit status: 0 decoded, 1 decoded with records that are not valid, 2 usage or input error.\n";

// Larger than any XML log of a full 64 MiB trace buffer.
constexpr std::size_t input_limit = std::size_t{1} << 30;

constexpr uint32_t card_command_ioctl = 0x222404u;
constexpr uint32_t command_packet_size = 56;
constexpr uint32_t command_read_trace = 7;
constexpr uint32_t command_trace_byte_count = 8;

int fail(const std::string& message) {
  std::fprintf(stderr, "zamtrace: %s\n", message.c_str());
  return 2;
}

// A wrong command line: what is wrong (when anything is said), then the usage.
int usage_error(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "zamtrace: %s\n", message.c_str());
  std::fputs(usage_text, stderr);
  return 2;
}

std::string error_text(uint32_t code) {
  return "error " + std::to_string(code) + (platform::driver_trouble().empty() ? "" : ": " + platform::driver_trouble());
}

// The card's trace: its byte count (command 8), then the bytes (command 7).
bool read_card_trace(std::vector<uint8_t>* bytes, std::string* why) {
  const auto paths = platform::device_interfaces(platform::driver_class::zam_card);
  if (paths.empty()) {
    *why = "no card found (no card driver interface)";
    return false;
  }
  const platform::device_handle card = platform::open_device(paths[0]);
  if (card == platform::invalid_handle) {
    *why = "cannot open the card " + paths[0] + ": " + error_text(platform::last_error());
    return false;
  }
  uint8_t packet[command_packet_size] = {};
  std::memcpy(packet, &command_trace_byte_count, 4);
  uint32_t returned = 0;
  bool ok = platform::device_control(card, card_command_ioctl, packet, sizeof packet, packet, sizeof packet, &returned);
  if (!ok || returned < 8) {
    *why = "the card did not give its trace byte count: " + error_text(platform::last_error());
    platform::close_device(card);
    return false;
  }
  uint32_t count;
  std::memcpy(&count, packet + 4, 4);
  std::vector<uint8_t> request(command_packet_size + std::size_t{count}, 0);
  std::memcpy(request.data(), &command_read_trace, 4);
  const uint64_t wanted = count;
  std::memcpy(request.data() + 8, &wanted, 8);
  const auto size = static_cast<uint32_t>(request.size());
  ok = platform::device_control(card, card_command_ioctl, request.data(), size, request.data(), size, &returned);
  platform::close_device(card);
  if (!ok || returned < command_packet_size) {
    *why = "the card did not give its trace: " + error_text(platform::last_error());
    return false;
  }
  uint64_t delivered;
  std::memcpy(&delivered, request.data() + 8, 8);
  if (delivered > count) delivered = count;
  if (delivered > returned - command_packet_size) delivered = returned - command_packet_size;
  bytes->assign(request.begin() + command_packet_size, request.begin() + command_packet_size + delivered);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (platform::answered_lone_standard_option(argc, argv, "zamtrace", [] { std::fputs(usage_text, stdout); })) {
    return 0;
  }
  enum { text, csv, json } format = text;
  bool from_card = false;
  long dump_number = 0;  // 0: the last
  std::string file;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--csv" || a == "--json") {
      if (format != text) return usage_error("--csv and --json exclude each other");
      format = a == "--csv" ? csv : json;
    } else if (a == "--card") {
      from_card = true;
    } else if (a == "--dump") {
      char* end = nullptr;
      if (i + 1 >= argc || (dump_number = std::strtol(argv[i + 1], &end, 10)) < 1 || *end != '\0') {
        return usage_error("--dump wants a dump number from 1");
      }
      ++i;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return usage_error("unknown option " + a);
    } else if (!file.empty()) {
      return usage_error("one trace at a time");
    } else {
      file = a;
    }
  }
  if (from_card == !file.empty()) return usage_error(from_card ? "--card or a FILE, not both" : "");
  if (from_card && dump_number != 0) return usage_error("--dump picks a dump of an XML log, not of the card");

  std::vector<uint8_t> bytes;
  std::string note;  // a problem with the dump, shown after the listing
  if (from_card) {
    std::string why;
    if (!read_card_trace(&bytes, &why)) return fail(why);
  } else {
    std::string content, reason;
    if (!platform::read_input_file(file, input_limit, &content, &reason)) {
      return fail("cannot read " + file + ": " + reason);
    }
    if (zamtrace::looks_like_xml_log(content)) {
      auto dumps = zamtrace::read_xml_log(content);
      if (dumps.empty()) return fail(file + ": an XML log without a trace dump (no <TBContents>)");
      if (dump_number > static_cast<long>(dumps.size())) {
        return fail(file + ": the log holds " + std::to_string(dumps.size()) + " trace dump(s), not " +
                    std::to_string(dump_number));
      }
      auto& dump = dumps[dump_number == 0 ? dumps.size() - 1 : static_cast<std::size_t>(dump_number - 1)];
      bytes = std::move(dump.bytes);
      note = dump.problem;
    } else {
      if (!content.empty() && static_cast<uint8_t>(content[0]) != zamtrace::record_marker) {
        return fail(file + ": not a trace (neither a record marker 0xF1 at its start nor an XML log's trace dump)");
      }
      bytes.assign(content.begin(), content.end());
    }
  }

  bool all_valid = note.empty();
  if (format == csv) platform::binary_standard_output();  // its CR LF line ends as written
  std::string out = format == text ? zamtrace::listing_heading() : format == csv ? zamtrace::csv_heading() : "[";
  bool first = true;
  zamtrace::for_each_record(bytes.data(), bytes.size(), [&](const zamtrace::decoded_record& r) {
    if (r.kind == zamtrace::record_kind::invalid) all_valid = false;
    if (format == text) out += zamtrace::listing_line(r);
    else if (format == csv) out += zamtrace::csv_row(r);
    else out += (first ? "\n " : ",\n ") + zamtrace::json_object(r);
    first = false;
    if (out.size() > (1u << 20)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  });
  if (format == json) out += first ? "]\n" : "\n]\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return fail(std::string("cannot write the listing: ") + std::strerror(errno));
  }
  if (!note.empty()) std::fprintf(stderr, "zamtrace: %s: %s\n", file.c_str(), note.c_str());
  return all_valid ? 0 : 1;
}
