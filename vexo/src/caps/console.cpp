// Printing diagnostics to standard output.
#include "caps/console.h"

#include <cstdarg>
#include <cstdio>

namespace vexo {

void say(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vprintf(format, arguments);
  va_end(arguments);
  std::fflush(stdout);
}

}  // namespace vexo
