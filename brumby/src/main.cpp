// Brumby: command-line entry of the OEM INF cleaner.
#include <iostream>

#include "cleaner.h"

int main(int argc, char** argv) {
  return brumby::run_cleaner(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
