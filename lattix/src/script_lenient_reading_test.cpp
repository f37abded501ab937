// Tests of scripts with odd values: read as formatted input reads them, with a warning.
#include <gtest/gtest.h>

#include "script_test_support.h"

TEST(ScriptLenientReadingTest, OddValuesLoadWithTheirFormattedInputResult) {
  parsedScript s;
  const std::string warnings = parseWithWarnings(
      "[Device 1 Function 0]\n"
      "REG.3C.8.characteristic = RO # interrupt line fixed\n"
      "VENDORID = 0x12345\n"
      "DEVICEID = 0x1ABCDE\n"
      "REVISIONID = 0x123\n"
      "Bar1.type = mem32\n"
      "Bar1.size = 4kb\n"
      "Bar1.prefetchable = 1\n"
      "Bar1.prefetchable = 2\n"
      "Bar1.IgnoreOverlap = 7\n"
      "ASPM_CONTROL = 3x\n"
      "L1_EXIT_LATENCY = q\n"
      "MemoryEnable = 0\n"
      "MemoryEnable = 5\n"
      "NoResponse = 1\n"
      "NoResponse = 2\n"
      "MSI_32.present = 2\n"
      "MSI_32.offset = 0x10060\n"
      "REG.210.32.default = 12z\n"
      "REG.214.32.characteristic = RW 123456789\n",
      s);
  ASSERT_TRUE(s.ok) << s.output;
  EXPECT_EQ(s.output, "");
  EXPECT_EQ(warnings,
            "Warning: line 2: REG mask \"# interrupt line fixed\" is not a hexadecimal number; "
            "the mask stays FFFFFFFF\n"
            "Warning: line 3: VENDORID value does not fit in 16 bits; cut to 0x2345\n"
            "Warning: line 4: DEVICEID value does not fit in 16 bits; cut to 0xBCDE\n"
            "Warning: line 5: REVISIONID value does not fit in 8 bits; cut to 0x23\n"
            "Warning: line 9: Bar1.prefetchable value \"2\" is neither 0 nor 1 and has no effect\n"
            "Warning: line 10: Bar1.IgnoreOverlap value \"7\" is neither 0 nor 1 and has no effect\n"
            "Warning: line 11: ASPM_CONTROL value \"3x\" read as 3\n"
            "Warning: line 12: L1_EXIT_LATENCY value \"q\" is not a number and has no effect\n"
            "Warning: line 14: MemoryEnable value \"5\" is not 0, 1 or 2 and has no effect\n"
            "Warning: line 16: NoResponse value \"2\" is not 0 or 1 and has no effect\n"
            "Warning: line 17: MSI_32.present value \"2\" is neither 0 nor 1 and has no effect\n"
            "Warning: line 18: MSI_32 value does not fit in 16 bits; cut to 0x60\n"
            "Warning: line 19: REG default value \"12z\" read as 12\n"
            "Warning: line 20: REG mask does not fit in 32 bits; cut to 23456789\n");
  device* d = s.devices[0];
  // The mask that is a comment leaves the whole register read-only.
  d->write1(0, 0x3C, 0xFF);
  EXPECT_EQ(d->read1(0, 0x3C), 0u);
  EXPECT_EQ(d->read4(0, 0x00), 0xBCDE2345u);
  EXPECT_EQ(d->read1(0, 0x08), 0x23u);
  EXPECT_EQ(d->read4(0, 0x10), 0x8u);  // prefetchable from the earlier statement
  EXPECT_EQ(d->getBar(0, 0x10).flags[2], 0);
  uint32_t aspm = 0;
  ASSERT_FALSE(d->GetASPMControl(0, &aspm));  // false: the capability is there
  EXPECT_EQ(aspm, 3u);
  EXPECT_FALSE(d->GetExpectedMemEnable(0));
  EXPECT_FALSE(d->GetIgnoreMemEnable(0));
  EXPECT_TRUE(d->GetNoResponse(0));
  EXPECT_EQ(d->read1(0, 0x60), 0x05u);  // the MSI capability at the cut offset
  EXPECT_EQ(d->read4(0, 0x210), 0x12u);
  d->write4(0, 0x214, 0xFFFFFFFF);
  EXPECT_EQ(d->read4(0, 0x214), 0x23456789u);
}

TEST(ScriptLenientReadingTest, PlainScriptsGiveNoWarnings) {
  parsedScript s;
  EXPECT_EQ(parseWithWarnings("[Device 1 Function 0]\nVENDORID = 0xFFFF\nREVISIONID = 0xFF\n"
                              "REG.3C.8.characteristic = RO FF\nASPM_CONTROL = 2\n",
                              s),
            "");
  ASSERT_TRUE(s.ok) << s.output;
  EXPECT_EQ(s.devices[0]->read2(0, 0x00), 0xFFFFu);
}

TEST(ScriptLenientReadingTest, WhatFollowsAnIdIsTheNextStatement) {
  // The ID is read up to its last hex digit; the rest is a statement of its own.
  parsedScript junk;
  parseText("[Device 1 Function 0]\nVENDORID = 0x12zz\n", junk);
  EXPECT_FALSE(junk.ok);
  EXPECT_EQ(junk.output, failureOf(junk, "Unknown command: zz\n"));
  parsedScript comment;
  parseText("[Device 1 Function 0]\nVENDORID = 0x12# set by the lab\nDEVICEID = 0x34\n", comment);
  ASSERT_TRUE(comment.ok) << comment.output;
  EXPECT_EQ(comment.devices[0]->read4(0, 0x00), 0x00340012u);
  // An ID without its 0x prefix is still refused.
  parsedScript bare;
  parseText("[Device 1 Function 0]\nVENDORID = 1234\n", bare);
  EXPECT_FALSE(bare.ok);
}

TEST(ScriptLenientReadingTest, AScriptFullOfOddValuesGivesAHundredWarnings) {
  std::string text = "[Device 1 Function 0]\n";
  for (int i = 0; i < 20000; ++i) text += "ASPM_CONTROL = 1x\n";
  parsedScript s;
  const std::string warnings = parseWithWarnings(text, s);
  ASSERT_TRUE(s.ok) << s.output;
  EXPECT_EQ(warnings.rfind("Warning: line 2: ASPM_CONTROL value \"1x\" read as 1\n", 0), 0u);
  EXPECT_NE(warnings.find("Warning: line 101: ASPM_CONTROL"), std::string::npos);
  EXPECT_EQ(warnings.find("Warning: line 102: "), std::string::npos);
  const std::string last = "Warning: more than 100 warnings; the rest are not shown\n";
  ASSERT_GE(warnings.size(), last.size());
  EXPECT_EQ(warnings.substr(warnings.size() - last.size()), last);
}
