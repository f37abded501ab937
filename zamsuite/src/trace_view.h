// The HTML report's view of a program's trace: the decoded records as a table and as a
// sequence diagram of the link between the card and the DUT, with the records that the
// program's trace searches counted marked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zamtrace/record.h"

namespace zamsuite {

// One search a compliance program makes over its trace, with the framework's match rules:
// a TLP search compares Fmt, Type and Length of byte 0 and bytes 2-3 as its flags say; a
// DLLP search compares the DLLP type (flow-control types without their virtual channel
// bits); a message search is the programs' own walk over every TLP for a message routed
// to the root complex with a given code (Fmt x1, Type 10000, code in byte 7).
struct trace_search {
  enum class rule { tlp, dllp, message };
  std::string label;       // as the report names it: "CplD (Fmt, Type)", "Nak", "ERR_COR"
  rule what = rule::tlp;
  uint8_t byte0 = 0;       // TLP pattern byte 0 (Fmt and Type), DLLP pattern type byte
  uint16_t length = 0;     // TLP pattern Length, compared with flag 0x8
  uint32_t flags = 0;      // TLP match flags: 0x1 Fmt, 0x2 Type, 0x8 Length, 0x80000000 all
  uint8_t message_code = 0;
  std::size_t capacity = 0;  // entries the search copies out and counts; 0: no limit
};

constexpr uint32_t match_fmt = 0x1, match_type = 0x2, match_length = 0x8, match_all = 0x80000000u;

// The searches of a compliance program by its name; empty for a program not known here
// (its trace is shown without marks).
std::vector<trace_search> program_searches(const std::string& program);

// What a program's searches counted: for each search its label and count, and for each
// record (by position) the bits of the searches that counted it.
struct counted_marks {
  std::vector<std::string> labels;
  std::vector<std::size_t> counts;
  std::vector<uint32_t> by_record;  // bit i: counted by search i; empty when nothing searched
  bool counted(std::size_t record) const { return record < by_record.size() && by_record[record] != 0; }
};

// Applies the searches to the records as the framework walks a trace: TLP and DLLP records
// only, and the walk ends at a record whose marker byte is not the record marker.
counted_marks count_searches(const std::vector<zamtrace::decoded_record>& records,
                             const std::vector<trace_search>& searches);

// True when one TLP search matches a TLP's recorded bytes (header first).
bool tlp_matches(const trace_search& search, const std::vector<uint8_t>& tlp);
// The DLLP type used for matching: flow-control types without their virtual channel bits.
uint8_t dllp_match_type(uint8_t type_byte);

// One line of the view: a record, a run of repeated records drawn as one, or a note of
// records left out.
struct view_item {
  enum class what { record, run, left_out };
  what kind = what::record;
  std::size_t first = 0;  // first record's position
  std::size_t count = 1;  // records it stands for
};

struct view_limits {
  std::size_t context = 8;     // records kept before the first and after the last counted one
  std::size_t min_run = 3;     // repeats that collapse into one line
  std::size_t max_items = 400;  // lines of the view at most (half from each end)
};

// The lines shown of a trace: the window from `context` records before the first counted
// record to `context` after the last (the whole trace when nothing was counted), runs of
// repeats collapsed, and at most `max_items` lines; what is left out is a line of its own.
std::vector<view_item> trace_view(const std::vector<zamtrace::decoded_record>& records,
                                  const counted_marks& marks, const view_limits& limits = {});

// The record's label in the timeline: type, message code, tag or sequence number, status.
std::string record_label(const zamtrace::decoded_record& record);
// True for what the timeline draws in the warning colour: Naks, errors the card put on the
// link (bad LCRC, bad DLLP CRC, reserved bits, substituted DLLPs, discarded TLPs), DLLPs
// whose CRC is wrong, error messages and records that could not be decoded.
bool is_warning(const zamtrace::decoded_record& record);

// The inline SVG sequence diagram of the view.
std::string timeline_svg(const std::vector<zamtrace::decoded_record>& records, const counted_marks& marks,
                         const std::vector<view_item>& view);
// The decoded table of the view.
std::string records_table_html(const std::vector<zamtrace::decoded_record>& records, const counted_marks& marks,
                               const std::vector<view_item>& view);

// The report's whole trace part of a program: what its searches counted, the timeline and
// the table.
std::string trace_section_html(const std::vector<zamtrace::decoded_record>& records, const counted_marks& marks,
                               const view_limits& limits = {});

}  // namespace zamsuite
