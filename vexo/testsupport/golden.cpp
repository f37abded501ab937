// Golden-file comparison of exact log bytes.
#include "golden.h"

#include <cstdlib>
#include <regex>

#include "temp_folder.h"

namespace vexo_test {

std::string mask_machine_numbers(const std::string& xml) {
  static const std::regex timestamp(R"(timestamp="\d+:\d+/\d+/\d+/\d+")");
  static const std::regex machine_number(
      R"(\b(numCPUs|pagesize|totalPhysRAM|availPhysRAM|Max|Free)="\d+")");
  std::string masked = std::regex_replace(xml, timestamp, R"(timestamp="#")");
  return std::regex_replace(masked, machine_number, R"($1="#")");
}

::testing::AssertionResult matches_golden(const std::string& name, const std::string& text) {
  const std::string path = std::string(VEXO_TESTDATA_DIR) + "/" + name;
  const char* update = std::getenv("VEXO_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    write_file(path, text);
    return ::testing::AssertionSuccess() << "rewrote " << path;
  }
  const std::string expected = read_file(path);
  if (expected.empty()) return ::testing::AssertionFailure() << "missing golden file " << path;
  if (expected == text) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "log differs from " << path << "\n--- expected\n"
                                       << expected << "\n--- actual\n"
                                       << text;
}

}  // namespace vexo_test
