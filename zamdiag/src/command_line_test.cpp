// The command line: option arguments, number formats, device names and refused input.
#include "command_line.h"

#include <gtest/gtest.h>

#include "ezusb_map.h"

namespace zamdiag {
namespace {

parse_result parse(std::vector<std::string> args) { return parse_command_line(args); }

TEST(CommandLineTest, NumbersInDecimalHexAndOctal) {
  EXPECT_EQ(parse_number("100"), 100u);
  EXPECT_EQ(parse_number("0x100"), 0x100u);
  EXPECT_EQ(parse_number("0X1f"), 0x1Fu);
  EXPECT_EQ(parse_number("010"), 8u);
  EXPECT_EQ(parse_number("0"), 0u);
  EXPECT_EQ(parse_number("0xFFFFFFFF"), 0xFFFFFFFFu);
  for (const char* bad : {"", "x1", "0x", "08", "12a", "-1", " 1", "+1", "0x100000000", "1 "}) {
    EXPECT_FALSE(parse_number(bad)) << bad;
  }
}

TEST(CommandLineTest, ReadOptionsTakeTheCountWhenPresent) {
  auto r = parse({"-r", "0x100"});
  EXPECT_EQ(r.opts.request, request_xdata);
  EXPECT_EQ(r.opts.address, 0x100u);
  EXPECT_EQ(r.opts.read_count, 1u);
  r = parse({"-r", "0x100", "0x40"});
  EXPECT_EQ(r.opts.read_count, 0x40u);
  // The count is an argument, never the next option.
  r = parse({"/d", "7", "-N", "3"});
  EXPECT_EQ(r.opts.request, request_idata);
  EXPECT_EQ(r.opts.read_count, 1u);
  EXPECT_EQ(r.opts.device_name, "ezusb-3");
  EXPECT_EQ(parse({"-b", "1", "16"}).opts.request, request_bulk);
  EXPECT_EQ(parse({"-f", "0x210000"}).opts.request, request_flash);
  EXPECT_EQ(parse({"-e", "0"}).opts.request, request_eeprom);
  EXPECT_EQ(parse({"-i", "0x53"}).opts.request, request_i2c);
  // A missing address calls for the usage text; a bad count is refused by name.
  EXPECT_TRUE(parse({"-r"}).usage);
  EXPECT_TRUE(parse({"-r", "-s"}).usage);
  EXPECT_EQ(parse({"-r", "0x100", "4x"}).refusal, "not a number: 4x\n");
  // One request carries at most 1024 bytes: a larger count is refused, not cut.
  EXPECT_EQ(parse({"-r", "0", "1024"}).opts.read_count, 1024u);
  for (const char* option : {"-r", "-d", "-e", "-i", "-f", "-b"}) {
    const parse_result refused = parse({option, "0", "5000"});
    EXPECT_EQ(refused.refusal, "count out of range (at most 1024, one request): 5000\n") << option;
    EXPECT_EQ(refused.opts.read_count, 0u) << option;
  }
}

TEST(CommandLineTest, WriteValuesAreBytesAndAtMost512) {
  auto r = parse({"-w", "0x100", "1", "0x2", "03", "-v"});
  EXPECT_EQ(r.opts.values, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(r.opts.version);
  EXPECT_TRUE(parse({"-w", "0x100"}).opts.values.empty());
  EXPECT_EQ(parse({"-E", "0", "255", "256"}).refusal, "value out of range (0-255): 256\n");

  std::vector<std::string> args = {"-B", "0"};
  for (int i = 0; i < 512; ++i) args.push_back(std::to_string(i % 256));
  r = parse(args);
  EXPECT_TRUE(r.refusal.empty());
  EXPECT_EQ(r.opts.values.size(), 512u);
  EXPECT_EQ(r.opts.values[511], 255);
  args.push_back("7");
  EXPECT_EQ(parse(args).refusal, "too many values (at most 512)\n");
}

TEST(CommandLineTest, NextBootModeLettersAndDigits) {
  for (const char* k : {"k", "K", "1", "KEP"}) EXPECT_EQ(parse({"-M", k}).opts.boot_mode, 1) << k;
  for (const char* t : {"t", "TOP", "2"}) EXPECT_EQ(parse({"-M", t}).opts.boot_mode, 2) << t;
  for (const char* a : {"a", "AIC", "3"}) EXPECT_EQ(parse({"-M", a}).opts.boot_mode, 3) << a;
  for (const char* p : {"p", "P", "0"}) EXPECT_EQ(parse({"-M", p}).opts.boot_mode, 0) << p;
  EXPECT_TRUE(parse({"-M", "x"}).usage);
  EXPECT_TRUE(parse({"-M", "4"}).usage);
  EXPECT_EQ(parse({"-M"}).opts.boot_mode, boot_mode_show);
  EXPECT_EQ(parse({"-M", "-s"}).opts.boot_mode, boot_mode_show);
  EXPECT_EQ(parse({}).opts.boot_mode, boot_mode_not_given);
}

TEST(CommandLineTest, DeviceNamesFollowTheNameRule) {
  EXPECT_EQ(parse({}).opts.device_name, "ezusb-0");
  EXPECT_EQ(parse({"-N", "1"}).opts.device_name, "ezusb-1");
  EXPECT_EQ(parse({"-N", "ezusb-2"}).opts.device_name, "ezusb-2");
  EXPECT_EQ(parse({"-N", "ab"}).opts.device_name, "ab");
  // "\\.\" and the name fill at most 63 characters of the 64-character buffer.
  const std::string longest(59, 'n');
  EXPECT_EQ(parse({"-N", longest}).opts.device_name, longest);
  EXPECT_EQ(parse({"-N", longest + "n"}).refusal,
            "device name too long (at most 59 characters): " + longest + "n\n");
  EXPECT_TRUE(parse({"-N"}).usage);
}

TEST(CommandLineTest, FileOptionsAndFlags) {
  auto r = parse({"-P", "/tmp/image.bin", "0x610000", "1"});
  EXPECT_EQ(r.opts.flash, flash_action::program);
  EXPECT_EQ(r.opts.flash_path, "/tmp/image.bin");
  EXPECT_EQ(r.opts.flash_offset, 0x610000u);
  EXPECT_TRUE(r.opts.flash_header);
  r = parse({"-p", "img", "0", "0"});
  EXPECT_EQ(r.opts.flash, flash_action::verify);
  EXPECT_FALSE(r.opts.flash_header);
  EXPECT_TRUE(parse({"-P", "img", "0"}).usage);
  EXPECT_EQ(parse({"-P", "img", "0", "2"}).refusal, "header must be 0 or 1, not 2\n");

  r = parse({"-l", "up.bin", "0x100", "64"});
  EXPECT_EQ(r.opts.eeprom, eeprom_action::upload);
  EXPECT_EQ(r.opts.eeprom_offset, 0x100u);
  EXPECT_EQ(r.opts.eeprom_count, 64u);
  r = parse({"-L", "down.bin"});
  EXPECT_EQ(r.opts.eeprom, eeprom_action::download);
  EXPECT_EQ(r.opts.eeprom_offset, 0u);

  r = parse({"-R", "/tmp/boot.iic"});
  EXPECT_TRUE(r.opts.boot_reset);
  EXPECT_EQ(r.opts.boot_path, "/tmp/boot.iic");
  r = parse({"-R", "-s"});
  EXPECT_TRUE(r.opts.boot_reset);
  EXPECT_EQ(r.opts.boot_path, "");
  EXPECT_TRUE(r.opts.status);

  EXPECT_EQ(parse({"-k", "1"}).opts.link_port, 1);
  EXPECT_TRUE(parse({"-k"}).usage);
  EXPECT_TRUE(parse({"-t"}).opts.delay_scan);
  EXPECT_FALSE(parse({"-t", "/t"}).opts.delay_scan);
  EXPECT_TRUE(parse({"-h"}).usage);
  EXPECT_TRUE(parse({"-x"}).usage);
  // Stray arguments are ignored.
  EXPECT_TRUE(parse({"stray", "-v"}).opts.version);
  r = parse({"-V", "0x210000", "12"});
  EXPECT_TRUE(r.opts.image_info);
  EXPECT_EQ(r.opts.image_address, 0x210000u);
}

}  // namespace
}  // namespace zamdiag
