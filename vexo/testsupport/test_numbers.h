// Building assertion identifiers in tests.
#pragma once

#include <cstring>

#include "vexo.h"

namespace vexo_test {

inline VEXO_TEST_NUM_t test_number(uint32_t category, const char* p1, const char* p2,
                                   const char* p3, const char* p4,
                                   const char* identifier = "ID") {
  VEXO_TEST_NUM_t number{};
  number.category = category;
  std::strncpy(number.identifier, identifier, sizeof number.identifier);
  std::strncpy(number.part1, p1, sizeof number.part1);
  std::strncpy(number.part2, p2, sizeof number.part2);
  std::strncpy(number.part3, p3, sizeof number.part3);
  std::strncpy(number.part4, p4, sizeof number.part4);
  return number;
}

}  // namespace vexo_test
