// The report's decoded trace: searches re-applied to the records, the window and runs of
// repeats, the sequence diagram and the table.
#include "trace_view.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <utility>

#include "markup.h"

namespace zamsuite {
namespace {

using zamtrace::decoded_record;
using zamtrace::link_direction;
using zamtrace::record_kind;

constexpr uint8_t record_marker = 0xF1;
constexpr std::size_t npos = static_cast<std::size_t>(-1);

trace_search completions_with_data() {
  return {"CplD (Fmt, Type)", trace_search::rule::tlp, 0x4A, 0, match_fmt | match_type, 0, 0};
}
trace_search message(const char* label, uint8_t code) {
  return {label, trace_search::rule::message, 0, 0, 0, code, 0};
}
trace_search dllp(const char* label, uint8_t type, std::size_t capacity) {
  return {label, trace_search::rule::dllp, type, 0, 0, 0, capacity};
}

std::string format(const char* pattern, unsigned long long a, unsigned long long b = 0, unsigned long long c = 0) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
}

std::string bdf(uint16_t id) { return format("%02llx:%02llx.%llx", id >> 8, (id >> 3) & 0x1F, id & 7); }

std::string time_text(const decoded_record& r) {
  if (!r.time_ns) return "";
  return format("%llu.%03llu \xC2\xB5s", *r.time_ns / 1000, *r.time_ns % 1000);
}

std::string direction_text(link_direction d) {
  switch (d) {
    case link_direction::upstream: return "DUT \xE2\x86\x92 card";
    case link_direction::downstream: return "card \xE2\x86\x92 DUT";
    case link_direction::unknown: break;
  }
  return "unknown";
}

std::string message_name(uint8_t code) {
  switch (code) {
    case 0x00: return "Unlock";
    case 0x14: return "PM_Active_State_Nak";
    case 0x18: return "PM_PME";
    case 0x19: return "PME_Turn_Off";
    case 0x1B: return "PME_TO_Ack";
    case 0x30: return "ERR_COR";
    case 0x31: return "ERR_NONFATAL";
    case 0x33: return "ERR_FATAL";
    case 0x50: return "Set_Slot_Power_Limit";
    case 0x7E: return "Vendor_Defined_0";
    case 0x7F: return "Vendor_Defined_1";
    default: break;
  }
  if (code >= 0x20 && code <= 0x27) {
    return std::string(code < 0x24 ? "Assert_INT" : "Deassert_INT") + static_cast<char>('A' + (code & 3));
  }
  return format("code 0x%02llX", code);
}

std::string card_marks_text(uint32_t marks) {
  static const std::pair<uint32_t, const char*> names[] = {
      {zamtrace::mark_bad_lcrc, "bad LCRC"},         {zamtrace::mark_duplicate, "duplicate"},
      {zamtrace::mark_replay, "replay"},             {zamtrace::mark_bad_dllp_crc, "bad CRC"},
      {zamtrace::mark_dllp_reserved_bits, "reserved bits"}, {zamtrace::mark_substituted, "substituted"},
      {zamtrace::mark_discarded, "discarded"},
  };
  std::string text;
  for (const auto& [bit, name] : names) {
    if ((marks & bit) == 0) continue;
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

std::string hex_bytes(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += ' ';
    text += format("%02llx", bytes[i]);
  }
  return text;
}

std::string searches_text(const counted_marks& marks, std::size_t record) {
  std::string text;
  const uint32_t bits = record < marks.by_record.size() ? marks.by_record[record] : 0;
  for (std::size_t i = 0; i < marks.labels.size() && i < 32; ++i) {
    if ((bits & (1u << i)) == 0) continue;
    if (!text.empty()) text += ", ";
    text += marks.labels[i];
  }
  return text;
}

uint32_t counted_bits(const counted_marks& marks, std::size_t record) {
  return record < marks.by_record.size() ? marks.by_record[record] : 0;
}

bool flow_control(const std::string& type) { return type.rfind("UpdateFC", 0) == 0 || type.rfind("InitFC", 0) == 0; }

// Records that draw as one line: same kind, type, direction, card marks and searches, and
// either flow-control DLLPs (whose credits keep moving) or the same bytes.
bool repeats(const decoded_record& a, const decoded_record& b, const counted_marks& marks) {
  return a.kind != record_kind::invalid && a.kind == b.kind && a.type == b.type && a.direction == b.direction &&
         a.marks == b.marks && counted_bits(marks, a.index) == counted_bits(marks, b.index) &&
         (flow_control(a.type) || a.bytes == b.bytes);
}

std::string records_span(std::size_t first, std::size_t count) {
  return count == 1 ? format("#%llu", first) : format("#%llu\xE2\x80\x93#%llu", first, first + count - 1);
}

std::string left_out_text(const view_item& item) {
  return format(item.count == 1 ? "%llu record left out: " : "%llu records left out: ", item.count) +
         records_span(item.first, item.count);
}

std::string item_label(const std::vector<decoded_record>& records, const view_item& item) {
  const decoded_record& r = records[item.first];
  if (item.kind == view_item::what::run) return r.type + format(" x %llu", item.count);
  return record_label(r);
}

// For each record, the earlier record it replays (npos for none): a TLP the card marked as
// a replay or duplicate, or one that repeats an earlier TLP's bytes in the same direction
// after a Nak came back, is tied to the latest such earlier TLP.
std::vector<std::size_t> replay_origins(const std::vector<decoded_record>& records) {
  std::vector<std::size_t> origin(records.size(), npos);
  std::map<std::pair<link_direction, std::vector<uint8_t>>, std::size_t> last_seen;
  std::vector<std::size_t> naks_before(records.size() + 1, 0);  // Naks against each direction
  std::vector<std::size_t> up_naks(records.size() + 1, 0), down_naks(records.size() + 1, 0);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const bool nak = records[i].kind == record_kind::dllp && records[i].type == "Nak";
    naks_before[i + 1] = naks_before[i] + (nak ? 1 : 0);
    // A Nak sent downstream answers upstream TLPs and the other way round.
    up_naks[i + 1] = up_naks[i] + (nak && records[i].direction != link_direction::upstream ? 1 : 0);
    down_naks[i + 1] = down_naks[i] + (nak && records[i].direction != link_direction::downstream ? 1 : 0);
  }
  for (std::size_t i = 0; i < records.size(); ++i) {
    const decoded_record& r = records[i];
    if (r.kind != record_kind::tlp || r.bytes.empty()) continue;
    const auto key = std::make_pair(r.direction, r.bytes);
    const auto seen = last_seen.find(key);
    if (seen != last_seen.end()) {
      const std::size_t j = seen->second;
      const std::vector<std::size_t>& naks = r.direction == link_direction::upstream     ? up_naks
                                             : r.direction == link_direction::downstream ? down_naks
                                                                                         : naks_before;
      const bool marked = (r.marks & (zamtrace::mark_replay | zamtrace::mark_duplicate)) != 0;
      if (marked || naks[i] > naks[j + 1]) origin[i] = j;
    }
    last_seen[key] = i;
  }
  return origin;
}

// Layout of the sequence diagram.
constexpr int svg_width = 760, card_x = 240, dut_x = 640, middle_x = (card_x + dut_x) / 2;
constexpr int header_height = 44, row_height = 24, footer_height = 12, max_lanes = 6;

}  // namespace

std::vector<trace_search> program_searches(const std::string& program) {
  const trace_search cpld = completions_with_data();
  const trace_search err_cor = message("ERR_COR", 0x30);
  static const std::map<std::string, std::vector<trace_search>> table = {
      {"BadLCRC_EP_USW", {cpld, dllp("Nak (first)", 0x10, 1), err_cor}},
      {"CorruptedDLLPs_EP_USW", {cpld, err_cor}},
      {"DuplicateTLPSeqNum_EP_USW", {dllp("Ack", 0x00, 0), cpld}},
      {"LinkRetrainOnRetryFail_EP_USW", {cpld, err_cor}},
      {"LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", {cpld}},
      {"ReXmitOnNak_EP_USW", {cpld}},
      {"ReplayNumTest_EP_USW", {cpld}},
      {"ReplayTLPOrder_EP_USW", {cpld, err_cor}},
      {"ReplayTimerTest_EP_USW", {cpld, err_cor}},
      {"ReservedFieldsDLLPReceive_EP_USW", {cpld}},
      {"UndefinedDLLPEncoding_EP_USW", {cpld, err_cor}},
      {"WrongSeqNumInAckDLLP_EP_USW", {cpld, message("ERR_FATAL", 0x33)}},
  };
  const auto found = table.find(program);
  return found == table.end() ? std::vector<trace_search>{} : found->second;
}

uint8_t dllp_match_type(uint8_t type_byte) {
  switch (type_byte & 0xF8) {
    case 0x40: case 0x50: case 0x60: case 0x80: case 0x90: case 0xA0: case 0xC0: case 0xD0: case 0xE0:
      return type_byte & 0xF8;
    default: return type_byte;
  }
}

bool tlp_matches(const trace_search& search, const std::vector<uint8_t>& tlp) {
  // Fields in the framework's order; without the "all" flag the last enabled field decides.
  bool result = true;
  const auto compare = [&](uint32_t flag, bool equal) {
    if ((search.flags & flag) == 0) return true;
    result = equal;
    return equal || (search.flags & match_all) == 0;
  };
  const bool has_byte0 = !tlp.empty();
  const bool has_length = tlp.size() >= 4;
  const uint16_t length = has_length ? static_cast<uint16_t>(((tlp[2] & 0x3) << 8) | tlp[3]) : 0;
  if (!compare(match_fmt, has_byte0 && ((tlp[0] ^ search.byte0) & 0x60) == 0)) return false;
  if (!compare(match_type, has_byte0 && ((tlp[0] ^ search.byte0) & 0x1F) == 0)) return false;
  if (!compare(match_length, has_length && length == (search.length & 0x3FF))) return false;
  return result;
}

counted_marks count_searches(const std::vector<decoded_record>& records, const std::vector<trace_search>& searches) {
  counted_marks marks;
  if (searches.empty()) return marks;
  marks.counts.assign(searches.size(), 0);
  marks.by_record.assign(records.size(), 0);
  for (const trace_search& s : searches) marks.labels.push_back(s.label);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const decoded_record& r = records[i];
    // The framework's walk ends where the record marker is missing; a record of a kind it
    // does not know but with the marker is stepped over.
    if (r.kind == record_kind::invalid) {
      if (r.bytes.empty() || r.bytes[0] != record_marker) break;
      continue;
    }
    for (std::size_t k = 0; k < searches.size() && k < 32; ++k) {
      const trace_search& s = searches[k];
      if (s.capacity != 0 && marks.counts[k] >= s.capacity) continue;
      bool match = false;
      if (r.kind == record_kind::tlp && s.what == trace_search::rule::tlp) {
        match = tlp_matches(s, r.bytes);
      } else if (r.kind == record_kind::tlp && s.what == trace_search::rule::message) {
        match = r.bytes.size() >= 8 && (r.bytes[0] & 0x3F) == 0x30 && r.bytes[7] == s.message_code;
      } else if (r.kind == record_kind::dllp && s.what == trace_search::rule::dllp) {
        // The DLLP record's payload: a byte the card does not define, then the DLLP.
        match = r.bytes.size() >= 2 && dllp_match_type(r.bytes[1]) == dllp_match_type(s.byte0);
      }
      if (!match) continue;
      ++marks.counts[k];
      marks.by_record[i] |= 1u << k;
    }
  }
  return marks;
}

std::vector<view_item> trace_view(const std::vector<decoded_record>& records, const counted_marks& marks,
                                  const view_limits& limits) {
  std::vector<view_item> items;
  const std::size_t n = records.size();
  if (n == 0) return items;
  std::size_t lo = 0, hi = n;
  std::size_t first = npos, last = npos;
  for (std::size_t i = 0; i < n; ++i) {
    if (!marks.counted(i)) continue;
    if (first == npos) first = i;
    last = i;
  }
  if (first != npos) {
    lo = first > limits.context ? first - limits.context : 0;
    hi = std::min(n, last + limits.context + 1);
  }
  if (lo > 0) items.push_back({view_item::what::left_out, 0, lo});
  for (std::size_t i = lo; i < hi;) {
    std::size_t j = i + 1;
    while (j < hi && repeats(records[i], records[j], marks)) ++j;
    if (j - i >= std::max<std::size_t>(limits.min_run, 2)) {
      items.push_back({view_item::what::run, i, j - i});
    } else {
      for (std::size_t k = i; k < j; ++k) items.push_back({view_item::what::record, k, 1});
    }
    i = j;
  }
  if (hi < n) items.push_back({view_item::what::left_out, hi, n - hi});
  if (limits.max_items >= 2 && items.size() > limits.max_items) {
    const std::size_t keep = limits.max_items / 2;
    const view_item& from = items[keep];
    const view_item& to = items[items.size() - keep - 1];
    const view_item gap{view_item::what::left_out, from.first, to.first + to.count - from.first};
    std::vector<view_item> cut(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(keep));
    cut.push_back(gap);
    cut.insert(cut.end(), items.end() - static_cast<std::ptrdiff_t>(keep), items.end());
    items = std::move(cut);
  }
  return items;
}

std::string record_label(const decoded_record& r) {
  std::string label;
  if (r.kind == record_kind::invalid) {
    label = "invalid record";
  } else {
    label = r.type.empty() ? std::string(r.kind == record_kind::tlp ? "TLP" : "DLLP") : r.type;
    if (r.message_code) label += " " + message_name(*r.message_code);
    if (r.status && *r.status != "SC") label += " " + *r.status;
    if (r.tag) label += format(" tag %llu", *r.tag);
    if (r.seq) label += format(" seq %llu", *r.seq);
  }
  if (const std::string marks = card_marks_text(r.marks); !marks.empty()) label += " [" + marks + "]";
  if (r.kind == record_kind::dllp && r.crc_good.has_value() && !*r.crc_good) label += " (CRC wrong)";
  return label;
}

bool is_warning(const decoded_record& r) {
  constexpr uint32_t errors = zamtrace::mark_bad_lcrc | zamtrace::mark_bad_dllp_crc |
                              zamtrace::mark_dllp_reserved_bits | zamtrace::mark_substituted |
                              zamtrace::mark_discarded;
  const bool error_message =
      r.message_code && (*r.message_code == 0x30 || *r.message_code == 0x31 || *r.message_code == 0x33);
  const bool bad_crc = r.kind == record_kind::dllp && r.crc_good.has_value() && !*r.crc_good;
  return r.kind == record_kind::invalid || (r.kind == record_kind::dllp && r.type == "Nak") || (r.marks & errors) != 0 ||
         error_message || bad_crc;
}

std::string timeline_svg(const std::vector<decoded_record>& records, const counted_marks& marks,
                         const std::vector<view_item>& view) {
  const std::vector<std::size_t> origins = replay_origins(records);
  std::map<std::size_t, std::size_t> row_of;  // record -> row it is drawn on
  for (std::size_t k = 0; k < view.size(); ++k) {
    if (view[k].kind == view_item::what::left_out) continue;
    for (std::size_t i = 0; i < view[k].count; ++i) row_of[view[k].first + i] = k;
  }
  std::vector<std::size_t> card_lanes, dut_lanes;  // per lane, the row its last bracket ends on
  const int height = header_height + static_cast<int>(view.size()) * row_height + footer_height;
  const auto row_y = [](std::size_t k) { return header_height + static_cast<int>(k) * row_height + 16; };
  std::ostringstream out;
  out << "<svg class=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" << svg_width << "\" height=\""
      << height << "\" viewBox=\"0 0 " << svg_width << ' ' << height << "\" role=\"img\">\n";
  out << "<text class=\"lifeline-name\" x=\"" << card_x << "\" y=\"18\">ZAM card</text><text class=\"lifeline-name\" x=\""
      << dut_x << "\" y=\"18\">DUT</text>\n";
  out << "<line class=\"lifeline\" x1=\"" << card_x << "\" y1=\"26\" x2=\"" << card_x << "\" y2=\"" << height - 4
      << "\"/><line class=\"lifeline\" x1=\"" << dut_x << "\" y1=\"26\" x2=\"" << dut_x << "\" y2=\"" << height - 4
      << "\"/>\n";
  for (std::size_t k = 0; k < view.size(); ++k) {
    const view_item& item = view[k];
    const int y = row_y(k);
    if (item.kind == view_item::what::left_out) {
      out << "<text class=\"gap\" x=\"" << middle_x << "\" y=\"" << y << "\">" << escape_text(left_out_text(item))
          << "</text>\n";
      continue;
    }
    const decoded_record& r = records[item.first];
    std::string classes = "packet";
    if (marks.counted(item.first)) {
      out << "<rect class=\"counted\" x=\"0\" y=\"" << y - 16 << "\" width=\"" << svg_width << "\" height=\""
          << row_height << "\"/>\n";
    }
    if (is_warning(r)) classes += " warn";
    out << "<text class=\"when\" x=\"4\" y=\"" << y << "\">" << escape_text(records_span(item.first, item.count));
    if (const std::string t = time_text(r); !t.empty()) out << ' ' << escape_text(t);
    out << "</text>\n";
    std::string label = item_label(records, item);
    const std::size_t origin = item.kind == view_item::what::record ? origins[item.first] : npos;
    if (origin != npos) label += format(" (replay of #%llu)", origin);
    if (r.direction == link_direction::unknown) {
      out << "<line class=\"" << classes << " unknown\" x1=\"" << middle_x - 60 << "\" y1=\"" << y << "\" x2=\""
          << middle_x + 60 << "\" y2=\"" << y << "\"/>\n";
      label += " (direction unknown)";
    } else {
      const bool up = r.direction == link_direction::upstream;
      const int from = up ? dut_x : card_x, to = up ? card_x : dut_x, head = up ? 9 : -9;
      out << "<line class=\"" << classes << "\" x1=\"" << from << "\" y1=\"" << y << "\" x2=\"" << to << "\" y2=\"" << y
          << "\"/><polygon class=\"" << classes << "\" points=\"" << to << ',' << y << ' ' << to + head << ','
          << y - 4 << ' ' << to + head << ',' << y + 4 << "\"/>\n";
    }
    out << "<text class=\"label" << (is_warning(r) ? " warn" : "") << "\" x=\"" << middle_x << "\" y=\"" << y - 4
        << "\">" << escape_text(label) << "</text>\n";
    if (origin != npos) {
      if (const auto at = row_of.find(origin); at != row_of.end()) {
        // A dashed bracket outside the sender's lifeline, from the original to the replay;
        // brackets whose rows overlap (a chain of replays) take lanes further out.
        const bool up = r.direction == link_direction::upstream;
        std::vector<std::size_t>& ends = up ? dut_lanes : card_lanes;
        std::size_t lane = 0;
        while (lane < ends.size() && ends[lane] >= at->second) ++lane;
        if (lane == ends.size()) ends.push_back(0);
        ends[lane] = k;
        const int offset = 40 + 12 * static_cast<int>(lane % max_lanes);
        const int side = up ? dut_x : card_x, outer = up ? dut_x + offset : card_x - offset;
        out << "<path class=\"replay\" d=\"M" << side << ',' << row_y(at->second) << " H" << outer << " V" << y << " H"
            << side << "\"/>\n";
      }
    }
  }
  out << "</svg>\n";
  return out.str();
}

std::string records_table_html(const std::vector<decoded_record>& records, const counted_marks& marks,
                               const std::vector<view_item>& view) {
  std::ostringstream out;
  out << "<table class=\"records\">\n<thead><tr><th>#</th><th>Time</th><th>Direction</th><th>Type</th>"
         "<th>Requester/Completer</th><th>Tag</th><th>Address/Register</th><th>Length</th><th>Status/Seq</th>"
         "<th>Card marks</th><th>Counted by</th></tr></thead>\n<tbody>\n";
  for (const view_item& item : view) {
    if (item.kind == view_item::what::left_out) {
      out << "<tr class=\"left-out\"><td colspan=\"11\">" << escape_text(left_out_text(item)) << "</td></tr>\n";
      continue;
    }
    const decoded_record& r = records[item.first];
    std::string classes;
    if (marks.counted(item.first)) classes = "counted";
    if (is_warning(r)) classes += classes.empty() ? "warn" : " warn";
    if (item.kind == view_item::what::run) classes += classes.empty() ? "run" : " run";
    out << "<tr" << (classes.empty() ? "" : " class=\"" + classes + "\"") << "><td class=\"num\">"
        << escape_text(records_span(item.first, item.count)) << "</td><td class=\"num\">" << escape_text(time_text(r))
        << "</td><td>" << escape_text(direction_text(r.direction)) << "</td><td>"
        << escape_text(item.kind == view_item::what::run ? item_label(records, item)
                       : r.kind == record_kind::invalid ? std::string("invalid")
                       : r.message_code                 ? r.type + " " + message_name(*r.message_code)
                                                        : r.type)
        << "</td>";
    if (item.kind == view_item::what::run && flow_control(r.type)) {
      // The credits move along the run: its first and last record's.
      const decoded_record& last = records[item.first + item.count - 1];
      const auto credits = [](const decoded_record& x) {
        return format("hdr %llu data %llu", x.header_credits.value_or(0), x.data_credits.value_or(0));
      };
      out << "<td colspan=\"5\">" << escape_text("credits " + credits(r) + " to " + credits(last)) << "</td>";
    } else if (r.kind == record_kind::invalid) {
      out << "<td colspan=\"5\" class=\"bytes\">" << escape_text(r.problem.empty() ? "" : r.problem + ": ")
          << hex_bytes(r.bytes) << "</td>";
    } else {
      std::string ids;
      if (r.completer) ids = "completer " + bdf(*r.completer);
      if (r.requester) ids += (ids.empty() ? "" : ", ") + std::string("requester ") + bdf(*r.requester);
      std::string where;
      if (r.address) where = format("0x%llx", *r.address);
      if (r.config_register) where += (where.empty() ? "" : ", ") + format("reg 0x%03llx", *r.config_register);
      std::string status;
      if (r.status) status = *r.status;
      if (r.seq) status += (status.empty() ? "" : ", ") + format("seq %llu", *r.seq);
      if (r.header_credits || r.data_credits) {
        if (!status.empty()) status += ", ";
        if (r.vc) status += format("VC%llu ", *r.vc);
        status += format("hdr %llu data %llu", r.header_credits.value_or(0), r.data_credits.value_or(0));
      }
      out << "<td>" << ids << "</td><td class=\"num\">" << (r.tag ? std::to_string(*r.tag) : "")
          << "</td><td>" << where << "</td><td class=\"num\">" << (r.length ? std::to_string(*r.length) : "")
          << "</td><td>" << escape_text(status) << "</td>";
    }
    out << "<td>" << escape_text(card_marks_text(r.marks)) << "</td><td>" << escape_text(searches_text(marks, item.first))
        << "</td></tr>\n";
  }
  out << "</tbody>\n</table>\n";
  return out.str();
}

std::string trace_section_html(const std::vector<decoded_record>& records, const counted_marks& marks,
                               const view_limits& limits) {
  std::ostringstream out;
  if (records.empty()) {
    out << "<p class=\"searches\">No records in the trace.</p>\n";
    return out.str();
  }
  out << "<p class=\"searches\">";
  if (marks.labels.empty()) {
    out << "No trace searches known for this program: no records marked.";
  } else {
    out << "Counted by the program's searches: ";
    for (std::size_t i = 0; i < marks.labels.size(); ++i) {
      out << (i > 0 ? ", " : "") << escape_text(marks.labels[i]) << ' ' << (i < marks.counts.size() ? marks.counts[i] : 0);
    }
    out << '.';
  }
  out << "</p>\n";
  const std::vector<view_item> view = trace_view(records, marks, limits);
  std::size_t runs = 0, left_out = 0;
  for (const view_item& item : view) {
    if (item.kind == view_item::what::run) ++runs;
    if (item.kind == view_item::what::left_out) left_out += item.count;
  }
  out << "<p class=\"view\">" << records.size() << (records.size() == 1 ? " record" : " records") << " in "
      << view.size() << (view.size() == 1 ? " line" : " lines");
  if (runs > 0) out << "; " << runs << (runs == 1 ? " run" : " runs") << " of repeats drawn as one";
  if (left_out > 0) out << "; " << left_out << (left_out == 1 ? " record" : " records") << " left out";
  out << ".</p>\n<h4>Timeline</h4>\n<div class=\"timeline\">" << timeline_svg(records, marks, view)
      << "</div>\n<h4>Decoded records</h4>\n" << records_table_html(records, marks, view);
  return out.str();
}

}  // namespace zamsuite
