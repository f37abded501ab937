// zamdiag: command-line entry of the card diagnostics tool.
#include <iostream>

#include "zamdiag.h"

int main(int argc, char** argv) {
  const int status = zamdiag::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  std::cout.flush();
  return zamdiag::exit_code(status);
}
