// lattix-check: parses a topology script and prints the hierarchy it builds, one line per function.
#include <cstdio>
#include <string>

#include "hierarchy_printer.h"
#include "lattix/lattix.h"
#include "platform/fs.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: lattix-check <script>\n");
    return 2;
  }
  // A folder or an unreadable file would otherwise read as an empty script.
  std::string text, reason;
  if (!platform::read_file(argv[1], &text, &reason)) {
    std::fprintf(stderr, "lattix-check: cannot read %s: %s\n", argv[1], reason.c_str());
    return 1;
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
