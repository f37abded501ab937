// Reading DAT files: values before reading, elements, attributes, number formats, errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "dat/dat_file_limits.h"
#include "dat/dat_numbers.h"
#include "platform/fs.h"
#include "temp_folder.h"
#include "vexo.h"

namespace {

class DatFileTest : public ::testing::Test {
 protected:
  void TearDown() override { std::free(info.user_name); }
  VEXO_STATUS_t parse(const std::string& xml) {
    const std::string path = folder.file("test.dat");
    vexo_test::write_file(path, xml);
    std::free(info.user_name);
    info.user_name = nullptr;
    return parseDatFile(path.c_str(), &info);
  }
  vexo_test::temp_folder folder;
  VEXO_DAT_INFO_t info{};
};

void expect_values_before_reading(const VEXO_DAT_INFO_t& info, int32_t mode) {
  EXPECT_EQ(info.user_name, nullptr);
  EXPECT_EQ(info.mode, mode);
  EXPECT_EQ(info.device_count, 0);
  for (int i = 0; i < VEXO_DAT_MAX_DEVICES; ++i) {
    EXPECT_EQ(info.find_flags[i], 0u);
    EXPECT_EQ(+info.devices[i].vendor_id, 0xFFFF);
    EXPECT_EQ(info.devices[i].function, 0xFF);
    EXPECT_EQ(info.devices[i].programming_interface, 0xFF);
  }
  EXPECT_STREQ(info.vexo_ini_path, "");
  EXPECT_STREQ(info.vexo_ini_file, "");
  EXPECT_STREQ(info.app_ini_file, "");
  EXPECT_EQ(info.replay_count, 3);
  EXPECT_EQ(info.pcie_base_address, 0xE0000000u);
  EXPECT_EQ(info.increment, 0);
  EXPECT_EQ(info.offset, 0);
  EXPECT_EQ(info.length, 4);
  EXPECT_EQ(info.serr_enable, 1);
  EXPECT_EQ(info.saved_command, 0);
}

TEST_F(DatFileTest, AnEmptyDocumentLeavesTheValuesBeforeReading) {
  std::memset(&info, 0x5A, sizeof info);
  info.user_name = nullptr;
  info.mode = 77;
  EXPECT_EQ(parse("<Dat/>"), VEXO_STATUS_SUCCESS);
  expect_values_before_reading(info, 77);
}

TEST_F(DatFileTest, ATypicalFileFillsTheRecord) {
  EXPECT_EQ(parse("<?xml version=\"1.0\"?>\n<VexoDat>\n"
                  "  <Test mode=\"AddIn\"/>\n"
                  "  <User name=\"bench engineer\"/>\n"
                  "  <VEXOINIFilePath path=\"C:\\suite\\ini\"/>\n"
                  "  <VEXOINIFileName name=\"KALIXapp.ini\"/>\n"
                  "  <PCIEBaseAddress addr=\"0xD0000000\"/>\n"
                  "  <DUT vendorid=\"8086\" deviceid=\"10D3\"/>\n"
                  "  <ReplayCount n=\" 5\"/>\n"
                  "  <DUTConfig offset=\"10\" length=\"2\" incr=\"1\" other=\"9\"/>\n"
                  "  <DUTSerrEnable v=\"0\"/>\n"
                  "</VexoDat>\n"),
            VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info.mode, VEXO_DAT_MODE_ADD_IN);
  EXPECT_STREQ(info.user_name, "bench engineer");
  EXPECT_EQ(info.vexo_ini_path, platform::native_path("C:/suite/ini"));  // native separators
  EXPECT_STREQ(info.vexo_ini_file, "KALIXapp.ini");
  EXPECT_STREQ(info.app_ini_file, "KALIXapp.ini");
  EXPECT_EQ(info.pcie_base_address, 0xD0000000u);
  ASSERT_EQ(info.device_count, 1);
  EXPECT_EQ(info.find_flags[0], 0x3u);
  EXPECT_EQ(+info.devices[0].vendor_id, 0x8086);
  EXPECT_EQ(+info.devices[0].device_id, 0x10D3);
  EXPECT_EQ(info.devices[0].bus, 0xFF);
  EXPECT_EQ(info.replay_count, 5);
  EXPECT_EQ(info.offset, 0x10);
  EXPECT_EQ(info.length, 2);
  EXPECT_EQ(info.increment, 1);
  EXPECT_EQ(info.serr_enable, 0);
}

TEST_F(DatFileTest, DUTEntriesTakeIdsInHexAndBusDeviceFunctionInDecimal) {
  EXPECT_EQ(parse("<d><DUT bus=\"12\" device=\"3\" function=\"1\"/>"
                  "<DUT vendorid=\"0x8086\" subsysdeviceid=\"4660\" subsysvendor=\"-1\"/>"
                  "<DUT vendorid=\"8086\" bus=\"300\"/></d>"),
            VEXO_STATUS_SUCCESS);
  ASSERT_EQ(info.device_count, 3);
  EXPECT_EQ(info.find_flags[0], 0x1000u);
  EXPECT_EQ(+info.devices[0].vendor_id, 0xFFFF);
  EXPECT_EQ(+info.devices[0].device_id, 0xFFFF);
  EXPECT_EQ(info.devices[0].bus, 12);
  EXPECT_EQ(info.devices[0].device, 3);
  EXPECT_EQ(info.devices[0].function, 1);
  EXPECT_EQ(info.devices[0].base_class, 0xFF);
  EXPECT_EQ(info.find_flags[1], 0x1u);
  EXPECT_EQ(+info.devices[1].vendor_id, 0x8086);  // "0x" reads as zeros
  EXPECT_EQ(info.subsystem_device_ids[1], 4660);
  EXPECT_EQ(info.subsystem_vendor_ids[1], 0xFFFF);
  EXPECT_EQ(+info.devices[2].vendor_id, 0x8086);
  EXPECT_EQ(info.find_flags[2], 0x1001u);
  EXPECT_EQ(info.devices[2].bus, 300 & 0xFF);  // stored as 16 bits over the unused byte
  EXPECT_EQ(info.devices[2].unused, 300 >> 8);
}

TEST_F(DatFileTest, AtMostAHundredDUTEntriesAreKept) {
  std::string xml = "<d>";
  for (int i = 0; i < 102; ++i) xml += "<DUT bus=\"" + std::to_string(i) + "\"/>";
  EXPECT_EQ(parse(xml + "</d>"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info.device_count, 100);
  EXPECT_EQ(info.devices[99].bus, 99);
}

TEST_F(DatFileTest, NumberFormats) {
  using namespace vexo::dat;
  EXPECT_EQ(hex_value("0x1F"), 0x1Fu);
  EXPECT_EQ(hex_value("1f"), 0x1Fu);
  EXPECT_EQ(hex_value("12G"), 0x122u);  // a non-digit repeats the last digit
  EXPECT_EQ(hex_value("x1"), 0x01u);
  EXPECT_EQ(hex_value(""), 0u);
  EXPECT_EQ(hex_value("1122334455667788"), 0x1122334455667788u);
  EXPECT_EQ(signed_hex_value("-2"), -2);
  EXPECT_EQ(signed_hex_value("-10"), -16);
  EXPECT_EQ(decimal_value("  -42abc"), -42);
  EXPECT_EQ(decimal_value("+7"), 7);
  EXPECT_EQ(decimal_value("abc"), 0);

  EXPECT_EQ(parse("<d><DUTConfig incr=\"-2\"/><PCIEBaseAddress a=\"0x1E0000000\"/></d>"),
            VEXO_STATUS_SUCCESS);
  EXPECT_EQ(static_cast<uint16_t>(info.increment), 0xFFFE);
  EXPECT_EQ(info.pcie_base_address, 0x1E0000000u);
}

TEST_F(DatFileTest, SettingsFileNamesFollowTheOrderOfTheElements) {
  EXPECT_EQ(parse("<d><VEXOINIFileName n=\"a.ini\"/><AppINIFileName n=\"b.ini\"/></d>"),
            VEXO_STATUS_SUCCESS);
  EXPECT_STREQ(info.vexo_ini_file, "a.ini");
  EXPECT_STREQ(info.app_ini_file, "b.ini");
  EXPECT_EQ(parse("<d><AppINIFileName n=\"b.ini\"/><VEXOINIFileName n=\"a.ini\"/></d>"),
            VEXO_STATUS_SUCCESS);
  EXPECT_STREQ(info.app_ini_file, "b.ini");  // already set: not replaced
  EXPECT_STREQ(info.vexo_ini_file, "a.ini");
}

TEST_F(DatFileTest, NamesAreComparedWithoutRegardToCaseButModeValuesExactly) {
  EXPECT_EQ(parse("<d><test MODE=\"simulation\"/><USER x=\"u\"/><replaycount v=\"9\"/>"
                  "<dut VENDORID=\"1234\"/></d>"),
            VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info.mode, VEXO_DAT_MODE_SIMULATION);
  EXPECT_STREQ(info.user_name, "u");
  EXPECT_EQ(info.replay_count, 9);
  EXPECT_EQ(+info.devices[0].vendor_id, 0x1234);
  info.mode = 1;
  EXPECT_EQ(parse("<d><Test mode=\"PLATFORM\"/></d>"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info.mode, 1);
  EXPECT_EQ(parse("<d><Test mode=\"platform\"/></d>"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info.mode, 0);
}

TEST_F(DatFileTest, LongPathsAreCutAt999Characters) {
  const std::string long_name(1500, 'n');
  EXPECT_EQ(parse("<d><VEXOINIFilePath p=\"" + long_name + "\"/></d>"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(std::string(info.vexo_ini_path), long_name.substr(0, 999));
}

TEST_F(DatFileTest, AMissingFileIsNamedInTheMessage) {
  info.replay_count = 77;
  testing::internal::CaptureStderr();
  EXPECT_EQ(parseDatFile("no/such.dat", &info), VEXO_STATUS_NO_DAT_FILE);
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_EQ(message.rfind("***ERROR***. FILE[", 0), 0u);
  EXPECT_NE(message.find("] cannot open file[no/such.dat]\n"), std::string::npos);
  EXPECT_EQ(info.replay_count, 3);  // the values before reading
}

// What is not a regular file of DAT size is refused by name and read not at all.
TEST_F(DatFileTest, WhatIsNotARegularFileOfDatSizeIsRefusedByName) {
  const std::string big = folder.file("big.dat");
  vexo_test::write_file(big, "<d>" + std::string(vexo::dat::max_dat_file_bytes, ' ') + "</d>");
  std::vector<std::pair<std::string, std::string>> refused = {
      {folder.path().string(), "not a regular file"},
      {big, "larger than 1048576 bytes"},
  };
#ifndef _WIN32
  refused.emplace_back("/dev/zero", "not a regular file");
#endif
  for (const auto& [path, reason] : refused) {
    info.replay_count = 77;
    testing::internal::CaptureStderr();
    EXPECT_EQ(parseDatFile(path.c_str(), &info), VEXO_STATUS_NO_DAT_FILE) << path;
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message.rfind("***ERROR***. FILE[dat_file.cpp] LINE[", 0), 0u) << message;
    EXPECT_TRUE(message.ends_with("] cannot read file[" + path + "]: " + reason + "\n")) << message;
    EXPECT_EQ(info.replay_count, 3) << "the values before reading";
  }
}

TEST_F(DatFileTest, MalformedXmlGivesTheParsersMessageAndLine) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(parse("<d>\n<ReplayCount v=\"8\"/>\n<DUT>\n</d>\n"), VEXO_STATUS_NO_DAT_FILE);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "EXPAT XML PARSER . ERROR (desc(mismatched tag))  in dat file at line 4\n");
  EXPECT_EQ(info.replay_count, 8);  // kept what was read before the error
  EXPECT_EQ(info.device_count, 1);

  // A document longer than one chunk, broken at its end.
  std::string long_doc = "<d>";
  for (int i = 0; i < 200; ++i) long_doc += "<Unknown a=\"1\"/>\n";
  testing::internal::CaptureStderr();
  EXPECT_EQ(parse(long_doc), VEXO_STATUS_NO_DAT_FILE);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("at line 201\n"), std::string::npos);
}

// One note as the tests name it: field, entry, flaw, element, attribute, text, value.
struct expected_note {
  VEXO_DAT_NUMBER_t number;
  int32_t entry;
  VEXO_DAT_FLAW_t flaw;
  std::string element, attribute, text;
  int64_t value;
};

std::vector<expected_note> notes_of(const VEXO_DAT_INFO_t& info) {
  VEXO_DAT_NUMBER_NOTE_t notes[16];
  const uint32_t count = VEXO_GetDatNumberNotes(&info, notes, 16);
  std::vector<expected_note> result;
  for (uint32_t i = 0; i < count && i < 16; ++i) {
    result.push_back({notes[i].number, notes[i].entry, notes[i].flaw, notes[i].element,
                      notes[i].attribute, notes[i].text, notes[i].value});
  }
  return result;
}

bool operator==(const expected_note& a, const expected_note& b) {
  return a.number == b.number && a.entry == b.entry && a.flaw == b.flaw &&
         a.element == b.element && a.attribute == b.attribute && a.text == b.text &&
         a.value == b.value;
}

void PrintTo(const expected_note& n, std::ostream* out) {
  *out << "{" << n.number << ", " << n.entry << ", " << n.flaw << ", " << n.element << ", "
       << n.attribute << ", \"" << n.text << "\", " << n.value << "}";
}

TEST_F(DatFileTest, NumbersWithoutDigitsOrCutToTheirFieldAreNotedWithTheValueTaken) {
  constexpr auto none = VEXO_DAT_FLAW_NO_DIGIT;
  constexpr auto cut = VEXO_DAT_FLAW_CUT;
  struct number_case {
    const char* element;  // one element of the document
    std::vector<expected_note> notes;
  };
  const number_case cases[] = {
      {"<ReplayCount n=\"three\"/>", {{VEXO_DAT_REPLAY_COUNT, -1, none, "ReplayCount", "n", "three", 0}}},
      {"<ReplayCount n=\"\"/>", {{VEXO_DAT_REPLAY_COUNT, -1, none, "ReplayCount", "n", "", 0}}},
      {"<ReplayCount n=\" -\"/>", {{VEXO_DAT_REPLAY_COUNT, -1, none, "ReplayCount", "n", " -", 0}}},
      {"<ReplayCount n=\"4294967299\"/>", {{VEXO_DAT_REPLAY_COUNT, -1, cut, "ReplayCount", "n", "4294967299", 3}}},
      {"<ReplayCount n=\"99999999999999999999\"/>",
       {{VEXO_DAT_REPLAY_COUNT, -1, cut, "ReplayCount", "n", "99999999999999999999", -1}}},
      {"<replaycount Count=\" 3 NAKs\"/>", {}},  // the conversion stops at the blank
      {"<ReplayCount n=\"-2147483648\"/>", {}},
      {"<DUT bus=\"259\" device=\"0\" function=\"0\"/>", {{VEXO_DAT_DUT_BUS, 0, cut, "DUT", "bus", "259", 3}}},
      {"<DUT BUS=\"-1\"/>", {{VEXO_DAT_DUT_BUS, 0, cut, "DUT", "BUS", "-1", 255}}},
      {"<DUT bus=\"3\" device=\"x\" function=\"300\"/>",
       {{VEXO_DAT_DUT_DEVICE, 0, none, "DUT", "device", "x", 0},
        {VEXO_DAT_DUT_FUNCTION, 0, cut, "DUT", "function", "300", 44}}},
      {"<DUT vendorid=\"10DE1\" deviceid=\"zz\"/>",
       {{VEXO_DAT_DUT_VENDOR_ID, 0, cut, "DUT", "vendorid", "10DE1", 0x0DE1},
        {VEXO_DAT_DUT_DEVICE_ID, 0, none, "DUT", "deviceid", "zz", 0}}},
      {"<DUT vendorid=\"0x8086\" deviceid=\"0x0020\"/>", {}},
      {"<DUT subsysdeviceid=\"65536\" subsysvendor=\"4660\"/>",
       {{VEXO_DAT_DUT_SUBSYS_DEVICE_ID, 0, cut, "DUT", "subsysdeviceid", "65536", 0}}},
      {"<PCIEBaseAddress a=\"FFFFFFFFFFFFFFFF\"/>", {}},
      {"<PCIEBaseAddress a=\"1E0000000000000000\"/>",
       {{VEXO_DAT_PCIE_BASE_ADDRESS, -1, cut, "PCIEBaseAddress", "a", "1E0000000000000000", 0}}},
      {"<PCIEBaseAddress a=\"xyz\"/>",
       {{VEXO_DAT_PCIE_BASE_ADDRESS, -1, none, "PCIEBaseAddress", "a", "xyz", 0}}},
      {"<DUTConfig incr=\"-2\" offset=\"FFFF\" length=\"4\"/>", {}},
      {"<DUTConfig incr=\"FFFE\" offset=\"10000\" length=\"\"/>",
       {{VEXO_DAT_DUTCONFIG_INCR, -1, cut, "DUTConfig", "incr", "FFFE", -2},
        {VEXO_DAT_DUTCONFIG_OFFSET, -1, cut, "DUTConfig", "offset", "10000", 0},
        {VEXO_DAT_DUTCONFIG_LENGTH, -1, none, "DUTConfig", "length", "", 0}}},
      {"<DUTSerrEnable v=\"65536\"/>", {{VEXO_DAT_SERR_ENABLE, -1, cut, "DUTSerrEnable", "v", "65536", 0}}},
      {"<DUTSerrEnable v=\"on\"/>", {{VEXO_DAT_SERR_ENABLE, -1, none, "DUTSerrEnable", "v", "on", 0}}},
  };
  for (const number_case& c : cases) {
    ASSERT_EQ(parse(std::string("<d>") + c.element + "</d>"), VEXO_STATUS_SUCCESS) << c.element;
    EXPECT_EQ(notes_of(info), c.notes) << c.element;
  }
  // The conversion itself is the documented one.
  EXPECT_EQ(parse("<d><ReplayCount n=\"4294967299\"/><DUT bus=\"259\"/></d>"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(info.replay_count, 3);
  EXPECT_EQ(info.devices[0].bus, 3);
  EXPECT_EQ(info.devices[0].unused, 1);
}

TEST_F(DatFileTest, ALaterValueReplacesTheNoteOfItsFieldAndEachParseStartsAfresh) {
  EXPECT_EQ(parse("<d><ReplayCount n=\"three\"/><ReplayCount n=\"4\"/>"
                  "<DUT bus=\"1\"/><DUT bus=\"256\"/><DUTConfig offset=\"q\"/></d>"),
            VEXO_STATUS_SUCCESS);
  const std::vector<expected_note> kept = {
      {VEXO_DAT_DUT_BUS, 1, VEXO_DAT_FLAW_CUT, "DUT", "bus", "256", 0},
      {VEXO_DAT_DUTCONFIG_OFFSET, -1, VEXO_DAT_FLAW_NO_DIGIT, "DUTConfig", "offset", "q", 0}};
  EXPECT_EQ(notes_of(info), kept);
  VEXO_DAT_NUMBER_NOTE_t one[1];
  EXPECT_EQ(VEXO_GetDatNumberNotes(&info, one, 1), 2u);  // the count, with room for one
  EXPECT_EQ(one[0].number, VEXO_DAT_DUT_BUS);

  VEXO_DAT_INFO_t other{};
  EXPECT_EQ(VEXO_GetDatNumberNotes(&other, nullptr, 0), 0u);  // never parsed
  EXPECT_EQ(parse("<d><ReplayCount n=\"5\"/></d>"), VEXO_STATUS_SUCCESS);
  EXPECT_TRUE(notes_of(info).empty());

  // A note as a line names it; the text is cut to the buffer, the length is the whole one.
  EXPECT_EQ(parse("<d><DUT vendorid=\"10DE1\" bus=\"259\"/></d>"), VEXO_STATUS_SUCCESS);
  VEXO_DAT_NUMBER_NOTE_t two[2];
  ASSERT_EQ(VEXO_GetDatNumberNotes(&info, two, 2), 2u);
  char text[128];
  const std::string vendor = "<DUT vendorid=\"10DE1\"> does not fit its field and was cut, taken as 0xDE1";
  EXPECT_EQ(VEXO_DescribeDatNumberNote(&two[0], text, sizeof text), vendor.size());
  EXPECT_EQ(text, vendor);
  const std::string bus = "<DUT bus=\"259\"> does not fit its field and was cut, taken as 3";
  EXPECT_EQ(VEXO_DescribeDatNumberNote(&two[1], text, 12), bus.size());
  EXPECT_STREQ(text, "<DUT bus=\"2");
  EXPECT_EQ(parse("<d><ReplayCount n=\"three\"/></d>"), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(VEXO_GetDatNumberNotes(&info, two, 2), 1u);
  VEXO_DescribeDatNumberNote(&two[0], text, sizeof text);
  EXPECT_STREQ(text, "<ReplayCount n=\"three\"> holds no digit, taken as 0");

  // Long texts are kept cut to the note's field.
  const std::string long_text(100, 'z');
  EXPECT_EQ(parse("<d><ReplayCount n=\"" + long_text + "\"/></d>"), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(notes_of(info).size(), 1u);
  EXPECT_EQ(notes_of(info)[0].text, long_text.substr(0, 63));
}

}  // namespace
