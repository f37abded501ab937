// Configuration-space dumps: what a well-formed dump gives, each malformed one's message,
// files the reader refuses, and the writer's layout read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/config_dump.h"
#include "platform/input_file.h"

namespace {

// A line of 16 bytes counting up from `first`.
std::string line_of(const char* offset, int first) {
  std::string text = offset;
  text += ":";
  for (int i = 0; i < 16; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, " %02x", (first + i) & 0xFF);
    text += byte;
  }
  return text + "\n";
}

const std::string zeros = "00: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n";

TEST(ConfigDump, ReadsHeadersBytesGapsAndLineEnds) {
  const std::string text = "00:00.0 Host bridge: Intel Corporation Device 0d57\n" + line_of("00", 0) +
                           line_of("10", 0x10) + "\n" +
                           // CR LF line ends, trailing blanks, upper-case digits, a gap.
                           "0000:1F:1f.7\r\n" + line_of("00", 0xA0).insert(3, "  ") + line_of("30", 0x30) +
                           "\n0001:02:03.4 on another domain\n" + line_of("100", 0x40) +
                           "0000ab:02:03.4\n" + zeros;
  platform::config_dump dump;
  std::string error;
  ASSERT_TRUE(platform::parse_config_dump(text, dump, error)) << error;
  ASSERT_EQ(dump.functions.size(), 4u);

  const auto& first = dump.functions[0];
  EXPECT_EQ(first.domain, 0u);
  EXPECT_EQ(first.line, 1u);
  ASSERT_EQ(first.bytes.size(), 32u);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(first.bytes[i], i) << i;

  const auto& second = dump.functions[1];
  EXPECT_EQ(platform::dumped_address(second), "1f:1f.7");
  EXPECT_EQ(second.line, 5u);
  ASSERT_EQ(second.bytes.size(), 0x40u);
  EXPECT_EQ(second.bytes[0], 0xA0);
  for (int i = 0x10; i < 0x30; ++i) EXPECT_EQ(second.bytes[i], 0xFF) << "a line left out reads as all ones, " << i;
  EXPECT_EQ(second.bytes[0x3F], 0x3F);

  const auto& third = dump.functions[2];
  EXPECT_EQ(third.domain, 1u);
  EXPECT_EQ(platform::dumped_address(third), "0001:02:03.4");
  ASSERT_EQ(third.bytes.size(), 0x110u);
  EXPECT_EQ(third.bytes[0xFF], 0xFF);
  EXPECT_EQ(third.bytes[0x100], 0x40);

  // The same bus/device/function on another domain is another function.
  EXPECT_EQ(dump.functions[3].domain, 0xABu);
  EXPECT_EQ(platform::dumped_address(dump.functions[3]), "00ab:02:03.4");

  // A last line without its line end counts.
  ASSERT_TRUE(platform::parse_config_dump("00:01.0\n" + zeros.substr(0, zeros.size() - 1), dump, error)) << error;
  EXPECT_EQ(dump.functions.at(0).bytes.size(), 16u);
}

struct malformed_case {
  const char* what;
  std::string text;
  const char* message;
};

TEST(ConfigDump, EachMalformedDumpSaysWhatAndWhere) {
  const std::string header = "00:03.0 Ethernet controller\n";
  const malformed_case cases[] = {
      {"empty", "", "no function's header line (BB:DD.F ...) in the dump"},
      {"blank lines only", "\n\n  \n", "no function's header line (BB:DD.F ...) in the dump"},
      {"bytes first", zeros, "line 1: configuration bytes before the first function's header line (BB:DD.F ...)"},
      {"garbage", header + zeros + "hello world\n",
       "line 3: neither a function's header line (BB:DD.F ...) nor a line of configuration bytes "
       "(offset: 16 hex bytes): 'hello world'"},
      {"verbose lspci line", header + "\tSubsystem: Red Hat, Inc. Device 0001\n",
       "line 2: neither a function's header line (BB:DD.F ...) nor a line of configuration bytes "
       "(offset: 16 hex bytes): '\\x09Subsystem: Red Hat, Inc. Device 0001'"},
      {"long garbage is cut", header + std::string(100, 'x') + "\n",
       "line 2: neither a function's header line (BB:DD.F ...) nor a line of configuration bytes "
       "(offset: 16 hex bytes): 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...'"},
      {"a function lspci could not read", header + "WARNING: Cannot show hex-dump of the config space\n",
       "line 2: lspci could not read this function's configuration space ('WARNING: Cannot show hex-dump of the "
       "config space'): a dump without its bytes cannot stand in for it; remove the function from the dump"},
      {"nul byte", header + std::string("00: \0", 5) + "\n",
       "line 2: '\\x00' is not a byte (two hex digits)"},
      {"odd offset", header + "08: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n",
       "line 2: offset 0x08 is not a multiple of 0x10"},
      {"offset past the space", header + line_of("1000", 0),
       "line 2: offset 0x1000 lies past the 4096 bytes of configuration space"},
      {"huge offset", header + line_of("fffffffffffffffffff0", 0),
       "line 2: offset 0xffffffffffffffff... lies past the 4096 bytes of configuration space"},
      {"offsets fall", header + line_of("00", 0) + line_of("40", 0) + line_of("30", 0),
       "line 4: offset 0x30 comes after 0x40 (offsets rise within a function)"},
      {"offset twice", header + line_of("00", 0) + line_of("10", 0) + line_of("10", 0),
       "line 4: offset 0x10 of 00:03.0 appears a second time (first on line 3)"},
      {"short line", header + "00: 86 80 01 02 03\n", "line 2: 5 bytes where a line holds 16"},
      {"one byte", header + "00: 86\n", "line 2: 1 byte where a line holds 16"},
      {"no byte", header + "00:\n", "line 2: 0 bytes where a line holds 16"},
      {"long line", header + line_of("00", 0).insert(4, "ff "), "line 2: 17 bytes where a line holds 16"},
      {"three-digit byte", header + "00: 186 80\n", "line 2: '186' is not a byte (two hex digits)"},
      {"not hex", header + "00: 86 80 zz 02\n", "line 2: 'zz' is not a byte (two hex digits)"},
      {"repeated function", header + zeros + "\n00:03.0 again\n" + zeros,
       "line 4: function 00:03.0 appears a second time (first on line 1)"},
      {"repeated with its domain", header + zeros + "0000:00:03.0\n" + zeros,
       "line 3: function 00:03.0 appears a second time (first on line 1)"},
      {"function without bytes", header + "00:04.0\n" + zeros, "line 1: function 00:03.0 has no configuration bytes"},
      {"last function without bytes", header + zeros + "\n00:04.0\n", "line 4: function 00:04.0 has no configuration bytes"},
      {"device too high", "00:20.0 x\n" + zeros, "line 1: device 0x20 of '00:20.0 x' is above 0x1f"},
      {"function too high", "00:03.8\n" + zeros, "line 1: function 8 of '00:03.8' is above 7"},
      {"three-digit bus", "100:03.0\n" + zeros,
       "line 1: not a function's header line (BB:DD.F or DDDD:BB:DD.F, then a blank and any text): '100:03.0'"},
      {"short domain", "01:00:03.0\n" + zeros,
       "line 1: not a function's header line (BB:DD.F or DDDD:BB:DD.F, then a blank and any text): '01:00:03.0'"},
      {"text glued to the address", "00:03.0x\n" + zeros,
       "line 1: not a function's header line (BB:DD.F or DDDD:BB:DD.F, then a blank and any text): '00:03.0x'"},
      {"one colon too many", "0000:00:00:03.0\n" + zeros,
       "line 1: not a function's header line (BB:DD.F or DDDD:BB:DD.F, then a blank and any text): "
       "'0000:00:00:03.0'"},
  };
  for (const malformed_case& c : cases) {
    platform::config_dump dump;
    dump.functions.resize(1);
    std::string error;
    EXPECT_FALSE(platform::parse_config_dump(c.text, dump, error)) << c.what;
    EXPECT_EQ(error, c.message) << c.what;
    EXPECT_TRUE(dump.functions.empty()) << c.what;
  }
}

TEST(ConfigDump, FilesTheReaderRefuses) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "config_dump_test";
  std::filesystem::create_directories(folder);
  platform::config_dump dump;
  std::string error;
  EXPECT_FALSE(platform::load_config_dump((folder / "missing.txt").string(), dump, error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(platform::load_config_dump(folder.string(), dump, error));
  EXPECT_EQ(error, "not a regular file");
#ifndef _WIN32
  EXPECT_FALSE(platform::load_config_dump("/dev/zero", dump, error));
  EXPECT_EQ(error, "not a regular file");
#endif
  // Larger than the limit: refused before it is read, with no function kept.
  const std::string huge = (folder / "huge.txt").string();
  { std::ofstream create(huge); }
  std::filesystem::resize_file(huge, platform::max_config_dump_bytes + 1);
  EXPECT_FALSE(platform::load_config_dump(huge, dump, error));
  EXPECT_EQ(error, platform::larger_than_text(platform::max_config_dump_bytes));
  EXPECT_TRUE(dump.functions.empty());

  const std::string good = (folder / "good.txt").string();
  std::ofstream(good) << "00:03.0\n" << zeros;
  ASSERT_TRUE(platform::load_config_dump(good, dump, error)) << error;
  EXPECT_EQ(dump.functions.size(), 1u);
  std::filesystem::remove_all(folder);
}

TEST(ConfigDump, WriterPrintsTheLspciLayoutAndReadsBack) {
  platform::dumped_function f;
  f.bus = 0x3A;
  f.device = 0x1F;
  f.function = 6;
  for (int i = 0; i < 0x110 + 7; ++i) f.bytes.push_back(static_cast<uint8_t>(i * 7));
  const std::string text = platform::format_dumped_function(f, "Ethernet controller");
  // A partial last line is left out: a reader takes whole lines only.
  const std::string expected_start =
      "3a:1f.6 Ethernet controller\n"
      "00: 00 07 0e 15 1c 23 2a 31 38 3f 46 4d 54 5b 62 69\n"
      "10: 70 77 7e 85 8c 93 9a a1 a8 af b6 bd c4 cb d2 d9\n";
  EXPECT_EQ(text.substr(0, expected_start.size()), expected_start);
  const std::string expected_end =
      "f0: 90 97 9e a5 ac b3 ba c1 c8 cf d6 dd e4 eb f2 f9\n"
      "100: 00 07 0e 15 1c 23 2a 31 38 3f 46 4d 54 5b 62 69\n\n";
  EXPECT_EQ(text.substr(text.size() - expected_end.size()), expected_end);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 17 + 1);

  platform::dumped_function other;
  other.domain = 2;
  other.bytes.assign(16, 0xFF);
  const std::string second = platform::format_dumped_function(other, "");
  EXPECT_EQ(second, "0002:00:00.0\n00: ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff\n\n");

  platform::config_dump dump;
  std::string error;
  ASSERT_TRUE(platform::parse_config_dump(text + second, dump, error)) << error;
  ASSERT_EQ(dump.functions.size(), 2u);
  f.bytes.resize(0x110);
  EXPECT_EQ(dump.functions[0].bytes, f.bytes);
  EXPECT_EQ(platform::dumped_address(dump.functions[0]), "3a:1f.6");
  EXPECT_EQ(dump.functions[1].bytes, other.bytes);
  EXPECT_EQ(dump.functions[1].domain, 2u);
}

}  // namespace
