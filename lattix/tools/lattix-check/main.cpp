// lattix-check: parses a topology script and prints the hierarchy it builds, one line per function.
#include <cstdio>
#include <string>

#include "hierarchy_printer.h"
#include "lattix/lattix.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: lattix-check <script>\n");
    return 2;
  }
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* result = nullptr;
  packetHandler* handler = nullptr;
  if (!scriptParser(argv[1], devices, connections, count, result, handler)) return 1;
  std::fputs(describeHierarchy(*result).c_str(), stdout);
  delete handler;
  delete result;
  return 0;
}
