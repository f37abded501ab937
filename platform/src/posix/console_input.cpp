// Standard input on POSIX: poll and read.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "../console_input.h"

namespace platform::detail {

long read_console_input(char* buffer, std::size_t size, int wait_ms) {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  const int ready = ::poll(&input, 1, wait_ms);
  if (ready < 0) return errno == EINTR ? console_nothing_yet : 0;
  if (ready == 0) return console_nothing_yet;
  const ssize_t got = ::read(STDIN_FILENO, buffer, size);
  if (got < 0) return (errno == EINTR || errno == EAGAIN) ? console_nothing_yet : 0;
  return static_cast<long>(got);
}

bool standard_input_is_terminal() { return isatty(STDIN_FILENO) != 0; }

}  // namespace platform::detail
