// ParseCmdLineOptions: the "-d", "-l" and "-h" options of every test program.
#include <strings.h>

#include <cstring>

#include "vexo.h"

namespace {

// Test programs give buffers of this size for each file name.
constexpr std::size_t file_name_buffer = 1000;

bool is_option(const char* argument, const char* option) {
  return argument != nullptr && strcasecmp(argument, option) == 0;
}

// Copies at most file_name_buffer - 1 characters and always terminates.
void copy_file_name(char* destination, const char* source) {
  if (destination == nullptr || source == nullptr) return;
  const std::size_t length = strnlen(source, file_name_buffer - 1);
  std::memcpy(destination, source, length);
  destination[length] = '\0';
}

}  // namespace

VEXO_API int ParseCmdLineOptions(int argc, const char* const argv[], char* dat_file_name,
                                 char* log_file_name) {
  if (dat_file_name != nullptr) dat_file_name[0] = '\0';
  if (log_file_name != nullptr) log_file_name[0] = '\0';
  int help = 0;
  if (argv == nullptr) return help;
  int index = 1;
  while (index < argc) {
    const char* argument = argv[index];
    const bool has_value = index + 1 < argc;
    if (is_option(argument, "-d")) {
      if (has_value) copy_file_name(dat_file_name, argv[index + 1]);
      index += 2;
    } else if (is_option(argument, "-l")) {
      if (has_value) copy_file_name(log_file_name, argv[index + 1]);
      index += 2;
    } else {
      if (is_option(argument, "-h")) help = 1;
      index += 1;
    }
  }
  return help;
}
