// The shared library's exports, found by name as programs and tools bind them.
#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>

#include "platform/library.h"
#include "vexo.h"

namespace {

// OpenVEXO's typed name: its uint64_t is unsigned long on LP64 systems ('m') and unsigned long
// long on Windows ('y').
constexpr const char* open_vexo_symbol = std::is_same_v<uint64_t, unsigned long>
                                             ? "_Z8OpenVEXOPPvimPKcS2_"
                                             : "_Z8OpenVEXOPPviyPKcS2_";

TEST(VexoExportsTest, NamesAndTypedSignaturesAreExported) {
  platform::library_handle library = platform::load_library(VEXO_LIBRARY_FILE);
  ASSERT_NE(library, nullptr) << platform::library_error();
  // Plain C names.
  auto describe = reinterpret_cast<const char* (*)(VEXO_STATUS_t)>(
      platform::find_symbol(library, "VEXOGetErrorDesc"));
  ASSERT_NE(describe, nullptr);
  EXPECT_STREQ(describe(0x80000003), "VEXO :: INVALID PARAMETER");
  EXPECT_NE(platform::find_symbol(library, "VEXOGetIntf"), nullptr);
  // C++ calls under their typed (mangled) names, both StartTest forms among them.
  for (const char* symbol : {"_Z9StartTestPvPKc", "_Z9StartTestPvPKcPK15VEXO_TEST_NUM_tjS_",
                             "_Z13StartTestCasePvPKc", "_Z9CreateLogPvPS_jPKcj",
                             "_Z10WriteToLogPviPKcz", "_Z9LogAssertPviPK15VEXO_TEST_NUM_tPKc",
                             open_vexo_symbol, "_Z9CloseVEXOPv",
                             "_Z19ParseCmdLineOptionsiPKPKcPcS3_"}) {
    EXPECT_NE(platform::find_symbol(library, symbol), nullptr) << symbol;
  }
  // Internals stay hidden.
  EXPECT_EQ(platform::find_symbol(library, "_ZN4vexo12driver_stateEv"), nullptr);
  platform::unload_library(library);
}

}  // namespace
