// Golden-file comparison of exact log bytes.
#include "golden.h"

#include <cctype>
#include <cstdlib>
#include <utility>

#include "temp_folder.h"

namespace vexo_test {
namespace {

constexpr std::string_view masked_attributes[] = {
    "timestamp", "numCPUs", "pagesize", "totalPhysRAM", "availPhysRAM", "Max", "Free"};

// Finds `name="` where name starts a word; returns the offset of the value or npos.
std::size_t find_attribute(const std::string& text, std::string_view name, std::size_t from) {
  const std::string opening = std::string(name) + "=\"";
  for (std::size_t at = text.find(opening, from); at != std::string::npos;
       at = text.find(opening, at + 1)) {
    if (at == 0 || !std::isalnum(static_cast<unsigned char>(text[at - 1]))) {
      return at + opening.size();
    }
  }
  return std::string::npos;
}

}  // namespace

std::string console_text(std::string captured) {
#ifdef _WIN32
  std::string text;
  text.reserve(captured.size());
  for (std::size_t i = 0; i < captured.size(); ++i) {
    if (captured[i] == '\r' && i + 1 < captured.size() && captured[i + 1] == '\n') continue;
    text += captured[i];
  }
  return text;
#else
  return captured;
#endif
}

std::vector<std::string> attribute_values(const std::string& text, std::string_view name) {
  std::vector<std::string> values;
  for (std::size_t value = find_attribute(text, name, 0); value != std::string::npos;
       value = find_attribute(text, name, value)) {
    const std::size_t end = text.find('"', value);
    if (end == std::string::npos) break;
    values.push_back(text.substr(value, end - value));
  }
  return values;
}

bool is_number(std::string_view value) {
  if (value.empty()) return false;
  for (char c : value) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool is_timestamp(std::string_view value) {
  const char separators[] = {':', '/', '/', '/'};
  for (char separator : separators) {
    const std::size_t at = value.find(separator);
    if (at == std::string_view::npos || !is_number(value.substr(0, at))) return false;
    value.remove_prefix(at + 1);
  }
  return is_number(value);
}

std::string mask_machine_numbers(const std::string& xml) {
  std::string masked = xml;
  for (std::string_view name : masked_attributes) {
    std::string rebuilt;
    std::size_t copied = 0;
    for (std::size_t value = find_attribute(masked, name, 0); value != std::string::npos;
         value = find_attribute(masked, name, value)) {
      const std::size_t end = masked.find('"', value);
      if (end == std::string::npos) break;
      rebuilt.append(masked, copied, value - copied).append("#");
      copied = end;
    }
    rebuilt.append(masked, copied, std::string::npos);
    masked = std::move(rebuilt);
  }
  return masked;
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
