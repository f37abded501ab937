// The listing, CSV and JSON writers, byte for byte.
#include "zamtrace/format.h"

#include <gtest/gtest.h>

#include "zamtrace/decode.h"

namespace zamtrace {
namespace {

using bytes = std::vector<uint8_t>;

// Three records: a CfgRd0 sent downstream at 1500 ns, the device's Ack with a bad CRC
// marked by the card, and a record of kind 5.
std::vector<decoded_record> sample() {
  const bytes trace{
      0xF1, 0x18, 3, 0, 0xDC, 0x05, 0, 0,  // TLP, annotated, downstream, 1500 ns
      0x04, 0, 0, 1, 0, 0, 7, 0x0F, 3, 0, 0, 0,
      0xF1, 0x8B, 2, 0, 0x40, 0x06, 0, 0,  // DLLP, annotated, upstream, bad-CRC mark, 1600 ns
      0, 0x00, 0x00, 0x00, 0x07, 0xD4, 0x21, 0,
      0xF1, 0x05, 0, 0, 0, 0, 0, 0,        // kind 5
  };
  return decode(trace);
}

TEST(TraceFormatTest, ListingIsAlignedWithFieldsAndMarks) {
  EXPECT_EQ(listing(sample()),
            " index      time ns dir  type                       fields [marks]\n"
            "     0         1500 down CfgRd0                     requester 00:00.0 completer 03:00.0 tag 7 "
            "register 0x000 length 1 be F/0\n"
            "     1         1600 up   Ack                        seq 7 CRC wrong [bad-CRC]\n"
            "     2            - -    invalid                    record kind 5 is not valid: f1 05 00 00 00 00 00 00\n");
}

TEST(TraceFormatTest, ListingFieldsOfCompletionsMessagesMemoryAndUndefinedDllps) {
  struct field_case {
    bytes tlp_or_dllp;
    bool dllp;
    const char* fields;
  };
  const field_case cases[] = {
      {{0x4A, 0, 0, 1, 0x03, 0x00, 0x00, 4, 0, 0, 7, 0, 0xCD, 0xAB, 0x20, 0}, false,
       "requester 00:00.0 completer 03:00.0 tag 7 status SC length 1 bytes 4"},
      {{0x30, 0, 0, 0, 0x03, 0x00, 0, 0x31, 0, 0, 0, 0, 0, 0, 0, 0}, false,
       "requester 03:00.0 tag 0 ERR_NONFATAL (to RC)"},
      {{0x20, 0, 0, 2, 0x03, 0x00, 1, 0xFF, 0, 0, 0, 1, 0, 0, 0, 0x40}, false,
       "requester 03:00.0 tag 1 address 0x0000000100000040 length 2 be F/F"},
      {{0x00, 0, 0, 1, 0x03, 0x00, 1, 0x0F, 0x10, 0, 0, 0}, false,
       "requester 03:00.0 tag 1 address 0x10000000 length 1 be F/0"},
      {{0x81, 0x08, 0x00, 0x80, 0, 0}, true, "vc 1 hdr 32 data 128 CRC wrong"},
      {{0x31, 0x01, 0x02, 0x03, 0, 0}, true, "CRC wrong 31 01 02 03 00 00"},
      {{0x30, 0xAB, 0xCD, 0xEF, 0, 0}, true, "CRC wrong 30 ab cd ef 00 00"},
      {{0x20, 0, 0, 0, 0, 0}, true, "CRC wrong"},  // PM types carry nothing more
  };
  for (const auto& c : cases) {
    decoded_record r;
    if (c.dllp) {
      decode_dllp(c.tlp_or_dllp.data(), r);
      r.bytes = {0};
      r.bytes.insert(r.bytes.end(), c.tlp_or_dllp.begin(), c.tlp_or_dllp.end());
      r.bytes.push_back(0);
    } else {
      decode_tlp(c.tlp_or_dllp.data(), c.tlp_or_dllp.size(), r);
    }
    EXPECT_EQ(fields_text(r), c.fields);
  }
}

TEST(TraceFormatTest, CsvQuotesWhatNeedsIt) {
  const auto records = sample();
  EXPECT_EQ(csv(records),
            "index,offset,time_ns,direction,kind,type,requester,completer,tag,address,register,length,first_be,"
            "last_be,status,byte_count,message,seq,vc,hdr_credits,data_credits,crc,marks,problem,bytes\r\n"
            "0,0,1500,downstream,TLP,CfgRd0,00:00.0,03:00.0,7,,0x000,1,0xF,0x0,,,,,,,,,,,"
            "04 00 00 01 00 00 07 0f 03 00 00 00\r\n"
            "1,20,1600,upstream,DLLP,Ack,,,,,,,,,,,,7,,,,bad,bad-CRC,,00 00 00 00 07 d4 21 00\r\n"
            "2,36,,unknown,invalid,invalid,,,,,,,,,,,,,,,,,,record kind 5 is not valid,f1 05 00 00 00 00 00 00\r\n");
  decoded_record odd;
  odd.type = "a \"quoted\", type";
  odd.marks = mark_bad_lcrc | mark_replay;
  odd.problem = "line\nbreak";
  EXPECT_EQ(csv_row(odd), "0,0,,unknown,invalid,\"a \"\"quoted\"\", type\",,,,,,,,,,,,,,,,,\"bad-LCRC,replay\","
                          "\"line\nbreak\",\r\n");
}

TEST(TraceFormatTest, JsonHasOneObjectPerRecordWithTheFieldsThatApply) {
  EXPECT_EQ(json(sample()),
            "[\n"
            " {\"index\": 0, \"offset\": 0, \"kind\": \"TLP\", \"type\": \"CfgRd0\", \"direction\": \"downstream\", "
            "\"time_ns\": 1500, \"requester\": \"00:00.0\", \"completer\": \"03:00.0\", \"tag\": 7, \"register\": 0, "
            "\"length\": 1, \"first_be\": 15, \"last_be\": 0, \"marks\": [], "
            "\"bytes\": \"04 00 00 01 00 00 07 0f 03 00 00 00\"},\n"
            " {\"index\": 1, \"offset\": 20, \"kind\": \"DLLP\", \"type\": \"Ack\", \"direction\": \"upstream\", "
            "\"time_ns\": 1600, \"seq\": 7, \"crc_good\": false, \"marks\": [\"bad-CRC\"], "
            "\"bytes\": \"00 00 00 00 07 d4 21 00\"},\n"
            " {\"index\": 2, \"offset\": 36, \"kind\": \"invalid\", \"type\": \"invalid\", \"direction\": \"unknown\", "
            "\"marks\": [], \"problem\": \"record kind 5 is not valid\", \"bytes\": \"f1 05 00 00 00 00 00 00\"}\n"
            "]\n");
  EXPECT_EQ(json({}), "[]\n");
  decoded_record cpl;
  const bytes ur{0x0A, 0, 0, 0, 0x02, 0xFF, 0x20, 4, 0x00, 0x08, 1, 0};
  decode_tlp(ur.data(), ur.size(), cpl);
  cpl.marks = mark_duplicate | mark_discarded;
  EXPECT_EQ(json_object(cpl),
            "{\"index\": 0, \"offset\": 0, \"kind\": \"TLP\", \"type\": \"Cpl\", \"direction\": \"unknown\", "
            "\"requester\": \"00:01.0\", \"completer\": \"02:1f.7\", \"tag\": 1, \"status\": \"UR\", \"byte_count\": 4, "
            "\"marks\": [\"duplicate\", \"discarded-Nak\"], \"bytes\": \"\"}");
  decoded_record msg;
  const bytes err{0x30, 0, 0, 0, 0x03, 0x00, 0, 0x33, 0, 0, 0, 0, 0, 0, 0, 0};
  decode_tlp(err.data(), err.size(), msg);
  EXPECT_NE(json_object(msg).find("\"message_code\": 51, \"message\": \"ERR_FATAL\", \"routing\": \"to RC\""),
            std::string::npos);
}

TEST(TraceFormatTest, JsonStringsAreEscaped) {
  EXPECT_EQ(json_string("plain"), "\"plain\"");
  EXPECT_EQ(json_string("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(json_string("\n\r\t"), "\"\\n\\r\\t\"");
  EXPECT_EQ(json_string(std::string("\x01\x1f", 2) + std::string(1, '\0')), "\"\\u0001\\u001f\\u0000\"");
  EXPECT_EQ(json_string("\xC3\xA9"), "\"\xC3\xA9\"");  // UTF-8 passes through
}

TEST(TraceFormatTest, MarkNamesInBitOrder) {
  EXPECT_EQ(marks_text(0), "");
  EXPECT_EQ(marks_text(0x7F), "bad-LCRC,duplicate,replay,bad-CRC,reserved-bits,substituted,discarded-Nak");
  EXPECT_EQ(marks_text(1u << 20), "");  // bits no mark stands for
}

}  // namespace
}  // namespace zamtrace
