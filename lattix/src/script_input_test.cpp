// Tests of what the script parser refuses to take as a script, of REG offsets at the very
// end of the 32-bit range, and of capabilities that cannot be placed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lattix/status.h"
#include "script_test_support.h"

namespace {

// Runs the parser on a path that parseText cannot make (a folder, a device).
std::string parsePath(const std::string& path, bool& ok) {
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* result = nullptr;
  packetHandler* handler = nullptr;
  ::testing::internal::CaptureStdout();
  ok = scriptParser(path.c_str(), devices, connections, count, result, handler);
  const std::string output = ::testing::internal::GetCapturedStdout();
  delete handler;
  delete result;
  return output;
}

}  // namespace

TEST(ScriptInputTest, RegOffsetsPastTheSpaceAreRefusedWithoutWrapping) {
  // Offset plus width wraps to a small number in 32 bits for the first three.
  const char* const refused[] = {
      "REG.FFFFFFFF.8.characteristic = RW",
      "REG.FFFFFFFE.16.characteristic = RW1C",
      "REG.FFFFFFFC.32.default = 1",
      "REG.FFFFFFFD.32.characteristic = RO 0000FFFF",
      "REG.1000.8.characteristic = RW",
      "REG.FFF.16.characteristic = RW",
      "REG.FFD.32.default = 5",
  };
  for (const char* statement : refused) {
    parsedScript s;
    parseText(std::string("[Device 1 Function 0]\n") + statement + "\n", s);
    EXPECT_FALSE(s.ok) << statement;
    EXPECT_EQ(s.output, failureOf(s, "Invalid REG statement on line 2\n")) << statement;
  }
  // The last byte and the last dword of the space are still registers.
  parsedScript last;
  parseText("[Device 1 Function 0]\nREG.FFF.8.characteristic = RO\nREG.FFC.16.default = 1234\n", last);
  ASSERT_TRUE(last.ok) << last.output;
  EXPECT_EQ(last.devices[0]->getFunction(0)->writeMask(0xFFF, 1), 0x00u);
  EXPECT_EQ(last.devices[0]->read2(0, 0xFFC), 0x1234u);
}

TEST(ScriptInputTest, WhatIsNotAScriptIsRefusedBeforeItIsRead) {
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) / "lattix_inputs";
  std::filesystem::create_directories(dir);
  const std::string link = (dir / "zero.test").string();
#ifndef _WIN32
  std::filesystem::create_symlink("/dev/zero", link);
#endif
  const std::string big = (dir / "big.test").string();
  {
    std::ofstream out(big, std::ios::binary);
    out << "[Device 1 Function 0]\n" << std::string(kMaxScriptFileBytes - 22, '#');
  }
  bool ok = true;
  EXPECT_EQ(parsePath(big, ok), "") << "a script of the largest size still builds";
  EXPECT_TRUE(ok);
  { std::ofstream(big, std::ios::app) << "#"; }

  const struct {
    std::string path;
    std::string message;
  } refused[] = {
      {dir.string(), "Script file " + dir.string() + " is not a regular file\n"},
#ifndef _WIN32
      {link, "Script file " + link + " is not a regular file\n"},
#endif
      {big, "Script file " + big + " is larger than 1048576 bytes\n"},
      {(dir / "none.test").string(), "Unable to open script file " + (dir / "none.test").string() + "\n"},
  };
  for (const auto& input : refused) {
    ok = true;
    EXPECT_EQ(parsePath(input.path, ok), input.message + "Unable to parse script file " + input.path + "\n");
    EXPECT_FALSE(ok) << input.path;
  }
  std::filesystem::remove_all(dir);

  // A script that describes nothing: empty, or only comments and blank lines.
  for (const char* text : {"", "# nothing here\n\n; nor here\n"}) {
    parsedScript s;
    parseText(text, s);
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.output, failureOf(s, "The script describes no device\n"));
    EXPECT_EQ(s.result, nullptr);
  }
}

TEST(ScriptInputTest, CapabilitiesThatCannotBePlacedAreNamedAndKeptInTheStatus) {
  parsedScript s;
  const std::string warnings = parseWithWarnings(
      "[Device 1 Function 0]\n"
      "MSI_32.offset = 0x20\n"           // below the header's end
      "ADV_ERR.offset = 0x102\n"         // not dword aligned
      "Bar6.size = 4kb\nBar6.type = mem64\n"  // 64-bit at the last BAR: no upper half
      "VIR_CHA.offset = 0x100\n"         // placed
      "[Device 2 Function 0]\n"
      "POW.offset = 0xFF4\n",            // runs past the end of the space
      s);
  ASSERT_TRUE(s.ok) << s.output;
  EXPECT_EQ(warnings,
            "Warning: Device 1 Function 0: MSI_32 at offset 0x20 could not be placed (status -10)\n"
            "Warning: Device 1 Function 0: ADVANCED_ERROR_REPORTING at offset 0x102 could not be placed (status -12)\n"
            "Warning: Device 1 Function 0: Bar6 could not be placed (status -10)\n"
            "Warning: Device 2 Function 0: POWER_BUDGETING at offset 0xFF4 could not be placed (status -10)\n");
  EXPECT_EQ(s.result->getStatus(), lattix_status::offsetOutOfRange) << "the first refusal";
  // A device's status stays what its last builder left, as requests report it.
  EXPECT_EQ(s.byNumber(1)->getStatus(), lattix_status::ok);
  EXPECT_EQ(s.byNumber(1)->findExtendedCapability(0, 2), 0x100);
  EXPECT_EQ(s.byNumber(2)->getStatus(), lattix_status::offsetOutOfRange);

  parsedScript placed;
  EXPECT_EQ(parseWithWarnings("[Device 1 Function 0]\nMSI_64.offset = 0x60\nADV_ERR.offset = 0x100\n", placed), "");
  ASSERT_TRUE(placed.ok) << placed.output;
  EXPECT_EQ(placed.result->getStatus(), lattix_status::ok);
}
