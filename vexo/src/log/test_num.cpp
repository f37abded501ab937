// Names of assertion identifiers as the logs print them.
#include "log/test_num.h"

#include <cstring>
#include <iterator>

namespace vexo {

const char* category_prefix(uint32_t category) {
  static const char* const prefixes[] = {"PHY.", "PHYLINK.", "CFG.", "EM.",
                                         "SYS.", "DLL.",     "TXN."};
  return category < std::size(prefixes) ? prefixes[category] : "";
}

std::string identifier_text(const VEXO_TEST_NUM_t& number) {
  return std::string(number.identifier, strnlen(number.identifier, sizeof number.identifier));
}

std::string part_text(const char (&part)[5]) {
  return std::string(part, strnlen(part, sizeof part));
}

std::string assertion_name(const VEXO_TEST_NUM_t& number) {
  return category_prefix(number.category) + part_text(number.part1) + "." +
         part_text(number.part2) + "#" + part_text(number.part3) + "." +
         part_text(number.part4);
}

std::string dotted_parts(const VEXO_TEST_NUM_t& number) {
  return part_text(number.part1) + "." + part_text(number.part2) + "." +
         part_text(number.part3);
}

}  // namespace vexo
