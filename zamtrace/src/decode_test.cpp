// The trace walk, the TLP and DLLP decoders and the card's annotations, field by field.
#include "zamtrace/decode.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zamtrace {
namespace {

using bytes = std::vector<uint8_t>;

// A record: header (kind, payload words, annotation byte 1 bits 11-15, time) and payload.
bytes record(uint8_t kind, const bytes& payload, uint8_t annotation = 0, uint32_t time = 0) {
  const auto words = static_cast<uint16_t>(kind == 3 ? 2 : payload.size() / 4);
  bytes r{0xF1, static_cast<uint8_t>(kind | annotation), uint8_t(words), uint8_t(words >> 8),
          uint8_t(time), uint8_t(time >> 8), uint8_t(time >> 16), uint8_t(time >> 24)};
  r.insert(r.end(), payload.begin(), payload.end());
  return r;
}

bytes dllp_record(const bytes& dllp, uint8_t annotation = 0, uint32_t time = 0) {
  bytes payload{0x00};
  payload.insert(payload.end(), dllp.begin(), dllp.end());
  payload.push_back(0x00);
  return record(3, payload, annotation, time);
}

decoded_record tlp_of(const bytes& tlp) {
  decoded_record r;
  decode_tlp(tlp.data(), tlp.size(), r);
  return r;
}

struct tlp_case {
  const char* what;
  bytes tlp;
  const char* type;
  std::optional<uint16_t> requester, completer;
  std::optional<uint8_t> tag;
  std::optional<uint64_t> address;
  std::optional<uint16_t> reg, length;
  std::optional<uint8_t> first_be, last_be;
  std::optional<std::string> status;
  std::optional<uint16_t> byte_count;
  std::optional<uint8_t> code, routing;
};

TEST(TraceDecodeTest, TlpTypesAndFields) {
  const std::nullopt_t no = std::nullopt;
  const tlp_case cases[] = {
      {"CfgRd0 of 03:00.0 register 0", {0x04, 0, 0, 1, 0, 0, 7, 0x0F, 3, 0, 0, 0}, "CfgRd0",
       0x0000, 0x0300, 7, no, 0x000, 1, 0xF, 0x0, no, no, no, no},
      {"CfgWr1 of 03:02.1 extended register 0x104", {0x45, 0, 0, 1, 0x01, 0x00, 200, 0x05, 3, 0x11, 0x01, 0x07, 1, 2, 3, 4},
       "CfgWr1", 0x0100, 0x0311, 200, no, 0x104, 1, 0x5, 0x0, no, no, no, no},
      {"CplD SC", {0x4A, 0, 0, 1, 0x03, 0x00, 0x00, 4, 0, 0, 7, 0, 0xCD, 0xAB, 0x20, 0},
       "CplD", 0x0000, 0x0300, 7, no, no, 1, no, no, "SC", 4, no, no},
      {"Cpl UR", {0x0A, 0, 0, 0, 0x02, 0xFF, 0x20, 4, 0x00, 0x08, 1, 0},
       "Cpl", 0x0008, 0x02FF, 1, no, no, no, no, no, "UR", 4, no, no},
      {"Cpl CRS", {0x0A, 0, 0, 0, 0x01, 0x00, 0x40, 4, 0, 0, 2, 0}, "Cpl", 0, 0x0100, 2, no, no, no, no, no,
       "CRS", 4, no, no},
      {"Cpl CA, byte count 0 is 4096", {0x0A, 0, 0, 0, 0x01, 0x00, 0x80, 0, 0, 0, 2, 0}, "Cpl", 0, 0x0100, 2, no, no,
       no, no, no, "CA", 4096, no, no},
      {"Cpl reserved status", {0x0A, 0, 0, 0, 0x01, 0x00, 0x60, 4, 0, 0, 2, 0}, "Cpl", 0, 0x0100, 2, no, no, no, no,
       no, "status 3", 4, no, no},
      {"CplLk", {0x0B, 0, 0, 0, 0x01, 0x00, 0x00, 4, 0, 0, 3, 0}, "CplLk", 0, 0x0100, 3, no, no, no, no, no, "SC", 4,
       no, no},
      {"CplDLk", {0x4B, 0, 0, 2, 0x01, 0x00, 0x00, 8, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "CplDLk", 0, 0x0100, 3, no,
       no, 2, no, no, "SC", 8, no, no},
      {"MRd32, address bits 1-0 dropped", {0x00, 0, 0, 1, 0x03, 0x00, 0x05, 0x0F, 0x10, 0, 0, 0x03}, "MRd32", 0x0300,
       no, 5, 0x10000000, no, 1, 0xF, 0x0, no, no, no, no},
      {"MRd64, length 16", {0x20, 0, 0, 0x10, 0x03, 0x08, 0x09, 0xFF, 0, 0, 0, 1, 0x23, 0x45, 0x67, 0x88}, "MRd64",
       0x0308, no, 9, 0x123456788, no, 16, 0xF, 0xF, no, no, no, no},
      {"MWr32, length 0 is 1024", {0x40, 0, 0, 0, 0x03, 0x00, 0, 0xFF, 0x10, 0, 0, 4}, "MWr32", 0x0300, no, 0,
       0x10000004, no, 1024, 0xF, 0xF, no, no, no, no},
      {"MWr32 length bits 9-8", {0x40, 0, 3, 0xFF, 0x03, 0x00, 0, 0xFF, 0x10, 0, 0, 4}, "MWr32", 0x0300, no, 0,
       0x10000004, no, 1023, 0xF, 0xF, no, no, no, no},
      {"MWr64", {0x60, 0, 0, 1, 0x03, 0x00, 0, 0x0F, 0x00, 0x00, 0x00, 0x02, 0, 0, 0, 0x40, 1, 2, 3, 4}, "MWr64",
       0x0300, no, 0, 0x200000040, no, 1, 0xF, 0x0, no, no, no, no},
      {"MRdLk", {0x01, 0, 0, 1, 0, 0x10, 1, 0x0F, 0, 0, 0x10, 0}, "MRdLk", 0x0010, no, 1, 0x1000, no, 1, 0xF, 0, no, no,
       no, no},
      {"IORd", {0x02, 0, 0, 1, 0, 0, 4, 0x03, 0, 0, 0x0C, 0xF8}, "IORd", 0, no, 4, 0xCF8, no, 1, 0x3, 0, no, no, no, no},
      {"IOWr", {0x42, 0, 0, 1, 0, 0, 4, 0x0C, 0, 0, 0x0C, 0xFC, 1, 2, 3, 4}, "IOWr", 0, no, 4, 0xCFC, no, 1, 0xC, 0, no,
       no, no, no},
      {"Msg ERR_COR to the root complex", {0x30, 0, 0, 0, 0x03, 0x00, 0, 0x30, 0, 0, 0, 0, 0, 0, 0, 0}, "Msg", 0x0300,
       no, 0, no, no, no, no, no, no, no, 0x30, 0},
      {"Msg Assert_INTA local", {0x34, 0, 0, 0, 0x03, 0x00, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0}, "Msg", 0x0300, no, 0,
       no, no, no, no, no, no, no, 0x20, 4},
      {"MsgD routed by ID", {0x72, 0, 0, 1, 0x03, 0x00, 0, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9, 9}, "MsgD", 0x0300,
       no, 0, no, no, 1, no, no, no, no, 0x7F, 2},
      {"FetchAdd", {0x4C, 0, 0, 1, 0x03, 0x00, 2, 0x0F, 0x10, 0, 0, 0, 1, 0, 0, 0}, "FetchAdd", 0x0300, no, 2,
       0x10000000, no, 1, 0xF, 0, no, no, no, no},
      {"Fmt 0 Type 0x1B has no name", {0x1B, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, "TLP Fmt 0 Type 0x1B", no, no, no, no,
       no, no, no, no, no, no, no, no},
      {"MRd32 with Fmt 1 Type 0x02 is not IO", {0x22, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       "TLP Fmt 1 Type 0x02", no, no, no, no, no, no, no, no, no, no, no, no},
      {"a TLP prefix", {0x91, 0, 0, 0}, "TLP prefix 0x91", no, no, no, no, no, no, no, no, no, no, no, no},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const decoded_record r = tlp_of(c.tlp);
    EXPECT_EQ(r.kind, record_kind::tlp);
    EXPECT_EQ(r.type, c.type);
    EXPECT_EQ(r.problem, "");
    EXPECT_EQ(r.requester, c.requester);
    EXPECT_EQ(r.completer, c.completer);
    EXPECT_EQ(r.tag, c.tag);
    EXPECT_EQ(r.address, c.address);
    EXPECT_EQ(r.config_register, c.reg);
    EXPECT_EQ(r.length, c.length);
    EXPECT_EQ(r.first_be, c.first_be);
    EXPECT_EQ(r.last_be, c.last_be);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.byte_count, c.byte_count);
    EXPECT_EQ(r.message_code, c.code);
    EXPECT_EQ(r.message_routing, c.routing);
  }
}

TEST(TraceDecodeTest, TlpsShorterThanTheirHeaderAreNamedButNotRead) {
  const decoded_record cut = tlp_of({0x20, 0, 0, 1, 0, 0, 1, 0x0F, 0, 0, 0, 0});  // MRd64 in 12 bytes
  EXPECT_EQ(cut.type, "MRd64");
  EXPECT_EQ(cut.problem, "TLP header cut short: 12 of 16 bytes");
  EXPECT_FALSE(cut.requester.has_value());
  EXPECT_FALSE(cut.address.has_value());
  const decoded_record empty = tlp_of({});
  EXPECT_EQ(empty.kind, record_kind::tlp);
  EXPECT_EQ(empty.problem, "TLP shorter than its first header doubleword");
}

TEST(TraceDecodeTest, DllpTypesSequenceNumbersCreditsAndCrc) {
  struct dllp_case {
    bytes dllp;
    const char* type;
    std::optional<uint16_t> seq;
    std::optional<uint8_t> vc, hdr;
    std::optional<uint16_t> data;
  };
  const std::nullopt_t no = std::nullopt;
  const dllp_case cases[] = {
      {{0x00, 0x00, 0x00, 0x07, 0xD4, 0x20}, "Ack", 7, no, no, no},
      {{0x10, 0x00, 0x00, 0x06, 0x9E, 0x5C}, "Nak", 6, no, no, no},
      {{0x00, 0x00, 0x0F, 0xFF, 0, 0}, "Ack", 0xFFF, no, no, no},
      {{0x10, 0xFF, 0xFA, 0x01, 0, 0}, "Nak", 0xA01, no, no, no},  // reserved bits ignored
      {{0x40, 0x08, 0x00, 0x80, 0, 0}, "InitFC1-P", no, 0, 32, 128},
      {{0x51, 0x3F, 0xCF, 0xFF, 0, 0}, "InitFC1-NP", no, 1, 255, 4095},
      {{0x62, 0x00, 0x40, 0x00, 0, 0}, "InitFC1-Cpl", no, 2, 1, 0},
      {{0xC3, 0x00, 0x01, 0x00, 0, 0}, "InitFC2-P", no, 3, 0, 256},
      {{0xD4, 0x01, 0x00, 0x00, 0, 0}, "InitFC2-NP", no, 4, 4, 0},
      {{0xE7, 0x00, 0x00, 0x01, 0, 0}, "InitFC2-Cpl", no, 7, 0, 1},
      {{0x80, 0x02, 0x80, 0x10, 0, 0}, "UpdateFC-P", no, 0, 10, 16},
      {{0x90, 0x00, 0x00, 0x00, 0, 0}, "UpdateFC-NP", no, 0, 0, 0},
      {{0xA5, 0x00, 0x00, 0x00, 0, 0}, "UpdateFC-Cpl", no, 5, 0, 0},
      {{0x20, 0, 0, 0, 0, 0}, "PM_Enter_L1", no, no, no, no},
      {{0x21, 0, 0, 0, 0, 0}, "PM_Enter_L23", no, no, no, no},
      {{0x23, 0, 0, 0, 0, 0}, "PM_Active_State_Request_L1", no, no, no, no},
      {{0x24, 0, 0, 0, 0, 0}, "PM_Request_Ack", no, no, no, no},
      {{0x30, 1, 2, 3, 0, 0}, "Vendor-specific", no, no, no, no},
      {{0x31, 0, 0, 0, 0, 0}, "DLLP 0x31", no, no, no, no},
      {{0x01, 0, 0, 0, 0, 0}, "DLLP 0x01", no, no, no, no},
      {{0x22, 0, 0, 0, 0, 0}, "DLLP 0x22", no, no, no, no},
      {{0x70, 0, 0, 0, 0, 0}, "DLLP 0x70", no, no, no, no},
      {{0xB0, 0, 0, 0, 0, 0}, "DLLP 0xB0", no, no, no, no},
      {{0xF7, 0, 0, 0, 0, 0}, "DLLP 0xF7", no, no, no, no},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    decoded_record r;
    decode_dllp(c.dllp.data(), r);
    EXPECT_EQ(r.kind, record_kind::dllp);
    EXPECT_EQ(r.type, c.type);
    EXPECT_EQ(r.seq, c.seq);
    EXPECT_EQ(r.vc, c.vc);
    EXPECT_EQ(r.header_credits, c.hdr);
    EXPECT_EQ(r.data_credits, c.data);
  }
  // The CRC: right as the link carries it, wrong after any change of bytes 0-5.
  const bytes ack{0x00, 0x00, 0x00, 0x07, 0xD4, 0x20};
  decoded_record r;
  decode_dllp(ack.data(), r);
  EXPECT_EQ(r.crc_good, true);
  for (int bit = 0; bit < 48; ++bit) {
    bytes changed = ack;
    changed[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    decode_dllp(changed.data(), r);
    EXPECT_EQ(r.crc_good, false) << "bit " << bit;
  }
}

TEST(TraceDecodeTest, WalkDecodesRecordsInOrderWithOffsetsAndPayloads) {
  bytes trace = record(0, {0x04, 0, 0, 1, 0, 0, 7, 0x0F, 3, 0, 0, 0});
  const bytes ack = dllp_record({0x00, 0x00, 0x00, 0x07, 0xD4, 0x20});
  trace.insert(trace.end(), ack.begin(), ack.end());
  const bytes kind1 = record(1, {0x4A, 0, 0, 1, 3, 0, 0, 4, 0, 0, 7, 0, 1, 2, 3, 4});
  trace.insert(trace.end(), kind1.begin(), kind1.end());
  const auto records = decode(trace);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].type, "CfgRd0");
  EXPECT_EQ(records[0].offset, 0u);
  EXPECT_EQ(records[0].bytes, (bytes{0x04, 0, 0, 1, 0, 0, 7, 0x0F, 3, 0, 0, 0}));
  EXPECT_EQ(records[1].index, 1u);
  EXPECT_EQ(records[1].offset, 20u);
  EXPECT_EQ(records[1].type, "Ack");
  EXPECT_EQ(records[1].bytes, (bytes{0, 0x00, 0x00, 0x00, 0x07, 0xD4, 0x20, 0}));
  EXPECT_EQ(records[2].offset, 36u);
  EXPECT_EQ(records[2].kind, record_kind::tlp);  // kinds 0, 1 and 2 are all TLP records
  EXPECT_EQ(records[2].type, "CplD");
  for (const auto& r : records) {
    EXPECT_EQ(r.direction, link_direction::unknown);  // not annotated
    EXPECT_FALSE(r.time_ns.has_value());
    EXPECT_EQ(r.marks, 0u);
  }
  EXPECT_TRUE(decode(bytes{}).empty());
}

TEST(TraceDecodeTest, RecordsThatCannotBeDecodedAreKeptWithTheirBytesAndReason) {
  const bytes ack = dllp_record({0x00, 0x00, 0x00, 0x07, 0xD4, 0x20});
  struct invalid_case {
    const char* what;
    bytes trace;
    std::size_t records;  // how many the walk gives; the invalid one is the last unless said
    std::size_t invalid_at;
    const char* problem;
    std::size_t invalid_bytes;
  };
  bytes kind5 = {0xF1, 0x05, 0xAA, 0xBB, 0, 0, 0, 0};
  kind5.insert(kind5.end(), ack.begin(), ack.end());
  bytes bad_marker = ack;
  bad_marker.insert(bad_marker.end(), {0xF2, 0x03, 2, 0, 0, 0, 0, 0, 1, 2, 3});
  bytes long_tlp = ack;
  long_tlp.insert(long_tlp.end(), {0xF1, 0x00, 0x04, 0x00, 0, 0, 0, 0, 1, 2, 3, 4});
  bytes cut_dllp = ack;
  cut_dllp.resize(ack.size() + 12);
  std::copy(ack.begin(), ack.begin() + 12, cut_dllp.begin() + ack.size());
  bytes cut_header = ack;
  cut_header.insert(cut_header.end(), {0xF1, 0x03, 2});
  const invalid_case cases[] = {
      {"kind 5 is a bare header, the walk goes on", kind5, 2, 0, "record kind 5 is not valid", 8},
      {"a bad marker ends the walk, the rest is one record", bad_marker, 2, 1,
       "no record marker: byte 0xF2, the walk ends here (11 bytes left)", 11},
      {"a TLP length past the end", long_tlp, 2, 1,
       "TLP record of 16 payload bytes runs past the end of the trace (4 left)", 12},
      {"a DLLP record cut short", cut_dllp, 2, 1,
       "DLLP record of 8 payload bytes runs past the end of the trace (4 left)", 12},
      {"a header cut short", cut_header, 2, 1, "record header cut short: 3 of 8 bytes", 3},
      {"a trace that is no trace", {0x00, 0x11, 0x22}, 1, 0,
       "no record marker: byte 0x00, the walk ends here (3 bytes left)", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto records = decode(c.trace);
    ASSERT_EQ(records.size(), c.records);
    EXPECT_EQ(record_count(c.trace.data(), c.trace.size()), c.records);
    const decoded_record& bad = records[c.invalid_at];
    EXPECT_EQ(bad.kind, record_kind::invalid);
    EXPECT_EQ(bad.type, "invalid");
    EXPECT_EQ(bad.problem, c.problem);
    ASSERT_EQ(bad.bytes.size(), c.invalid_bytes);
    EXPECT_TRUE(std::equal(bad.bytes.begin(), bad.bytes.end(), c.trace.begin() + bad.offset));
    for (std::size_t i = 0; i < records.size(); ++i) {
      if (i != c.invalid_at) {
        EXPECT_EQ(records[i].type, "Ack");
      }
    }
  }
}

TEST(TraceDecodeTest, AnnotationsGiveDirectionMarksAndUnwrappedTime) {
  // bit 11 annotated, bit 12 downstream, bits 13-15 action.
  const uint8_t up = 0x08, down = 0x18;
  struct annotation_case {
    uint8_t bits;
    link_direction direction;
    uint32_t marks;
  };
  const annotation_case cases[] = {
      {up, link_direction::upstream, 0},
      {down, link_direction::downstream, 0},
      {down | 1 << 5, link_direction::downstream, mark_bad_lcrc},
      {down | 2 << 5, link_direction::downstream, mark_duplicate},
      {up | 3 << 5, link_direction::upstream, mark_replay},
      {down | 4 << 5, link_direction::downstream, mark_bad_dllp_crc},
      {down | 5 << 5, link_direction::downstream, mark_dllp_reserved_bits},
      {down | 6 << 5, link_direction::downstream, mark_substituted},
      {up | 7 << 5, link_direction::upstream, mark_discarded},
      {0x10 | 3 << 5, link_direction::unknown, 0},  // bit 11 clear: the rest means nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.bits));
    const auto records = decode(dllp_record({0x00, 0, 0, 1, 0, 0}, c.bits, 1234));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].direction, c.direction);
    EXPECT_EQ(records[0].marks, c.marks);
    EXPECT_EQ(records[0].time_ns, c.direction == link_direction::unknown ? std::nullopt : std::optional<uint64_t>(1234));
    EXPECT_EQ(records[0].type, "Ack");
  }
  // Time is modulo 2^32 ns in the header: it keeps counting across the wrap.
  bytes trace = dllp_record({0x00, 0, 0, 1, 0, 0}, up, 0xFFFFFF00u);
  for (uint32_t t : {0x00000100u, 0x80000000u, 0x00000010u}) {
    const bytes next = dllp_record({0x00, 0, 0, 1, 0, 0}, up, t);
    trace.insert(trace.end(), next.begin(), next.end());
  }
  const auto records = decode(trace);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].time_ns, 0xFFFFFF00u);
  EXPECT_EQ(records[1].time_ns, 0x100000100u);
  EXPECT_EQ(records[2].time_ns, 0x180000000u);
  EXPECT_EQ(records[3].time_ns, 0x200000010u);
}

TEST(TraceDecodeTest, StreamingWalkGivesWhatDecodeKeeps) {
  bytes trace;
  for (int i = 0; i < 50; ++i) {
    const bytes r = i % 3 ? dllp_record({0x10, 0, 0, uint8_t(i), 0, 0}, 0x08, uint32_t(i))
                          : record(0, {0x04, 0, 0, 1, 0, 0, uint8_t(i), 0x0F, 3, 0, 0, 0}, 0x18, uint32_t(i));
    trace.insert(trace.end(), r.begin(), r.end());
  }
  trace.push_back(0x00);  // and a stray byte at the end
  const auto kept = decode(trace);
  std::size_t n = 0;
  for_each_record(trace.data(), trace.size(), [&](const decoded_record& r) {
    ASSERT_LT(n, kept.size());
    EXPECT_EQ(r.index, kept[n].index);
    EXPECT_EQ(r.type, kept[n].type);
    EXPECT_EQ(r.tag, kept[n].tag);
    EXPECT_EQ(r.seq, kept[n].seq);
    EXPECT_EQ(r.bytes, kept[n].bytes);
    EXPECT_EQ(r.time_ns, kept[n].time_ns);
    ++n;
  });
  EXPECT_EQ(n, 51u);
  EXPECT_EQ(kept.back().kind, record_kind::invalid);
  EXPECT_EQ(kept[4].seq, 4u);  // a Nak after a TLP: reused records carry no stale fields
  EXPECT_FALSE(kept[4].tag.has_value());
}

TEST(TraceDecodeTest, Names) {
  EXPECT_EQ(message_name(0x30), "ERR_COR");
  EXPECT_EQ(message_name(0x31), "ERR_NONFATAL");
  EXPECT_EQ(message_name(0x33), "ERR_FATAL");
  EXPECT_EQ(message_name(0x18), "PM_PME");
  EXPECT_EQ(message_name(0x20), "Assert_INTA");
  EXPECT_EQ(message_name(0x27), "Deassert_INTD");
  EXPECT_EQ(message_name(0x32), "code 0x32");
  EXPECT_STREQ(routing_name(0), "to RC");
  EXPECT_STREQ(routing_name(3), "broadcast");
  EXPECT_STREQ(routing_name(5), "gathered");
  EXPECT_EQ(bdf_text(0x0311), "03:02.1");
  EXPECT_EQ(bdf_text(0xFFFF), "ff:1f.7");
}

}  // namespace
}  // namespace zamtrace
