// lattix-check: parses a topology script and prints the hierarchy it builds, one line per function.
#include <cstdio>
#include <string>

#include "hierarchy_printer.h"
#include "lattix/lattix.h"
#include "platform/input_file.h"
#include "platform/standard_options.h"

namespace {

constexpr const char* usage_text = "usage: lattix-check <script>\n";

}  // namespace

int main(int argc, char** argv) {
  if (platform::answered_lone_standard_option(argc, argv, "lattix-check",
                                              [] { std::fputs(usage_text, stdout); })) {
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(usage_text, stderr);
    return 2;
  }
  // What is not a readable regular file of a script's size is named before parsing.
  std::string text, reason;
  if (!platform::read_input_file(argv[1], kMaxScriptFileBytes, &text, &reason)) {
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
  // The parser named each capability or BAR it could not place: the hierarchy shown is
  // not the one the script describes.
  const int status = result->getStatus();
  if (status != 0)
    std::fprintf(stderr, "lattix-check: %s: not everything the script describes could be placed (status %d)\n",
                 argv[1], status);
  delete handler;
  delete result;
  return status != 0 ? 3 : 0;
}
