// vexomin's exports, found by name: the 25 calls and nothing of vexo's device or XML side.
#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>

#include "platform/library.h"

namespace {

// OpenVEXO's typed name: its uint64_t is unsigned long on LP64 systems ('m') and unsigned long
// long on Windows ('y').
constexpr const char* open_vexo_symbol = std::is_same_v<uint64_t, unsigned long>
                                             ? "_Z8OpenVEXOPPvimPKcS2_"
                                             : "_Z8OpenVEXOPPviyPKcS2_";

TEST(VexominExportsTest, TheTwentyFiveCallsAndNoMore) {
  platform::library_handle library = platform::load_library(VEXOMIN_LIBRARY_FILE);
  ASSERT_NE(library, nullptr) << platform::library_error();
  const char* exported[] = {
      open_vexo_symbol, "_Z9CloseVEXOPv", "_Z9CreateLogPvPS_jPKcj", "_Z8CloseLogPv",
      "_Z10WriteToLogPviPKcz", "_Z13EnableLoggingPv", "_Z14DisableLoggingPv", "_Z9StartTestPvPKc",
      "_Z8StopTestPv", "_Z13StartTestCasePvPKc", "_Z12StopTestCasePv",
      "_Z9LogAssertPviPK15VEXO_TEST_NUM_tPKc", "_Z8CreateUIPvPS_j", "_Z7CloseUIPv",
      "_Z15SetDialogHeaderPvPKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE", "_Z11EnableInputPv",
      "_Z12DisableInputPv", "_Z15IsInputDisabledPv", "_Z15TerminateDialogPv"};
  for (const char* symbol : exported) EXPECT_NE(platform::find_symbol(library, symbol), nullptr) << symbol;
  const char* absent[] = {"_Z9StartTestPvPKcPK15VEXO_TEST_NUM_tjS_", "VEXOGetErrorDesc", "VEXOGetIntf",
                          "_Z19ParseCmdLineOptionsiPKPKcPcS3_"};
  for (const char* symbol : absent) EXPECT_EQ(platform::find_symbol(library, symbol), nullptr) << symbol;
  platform::unload_library(library);
}

}  // namespace
