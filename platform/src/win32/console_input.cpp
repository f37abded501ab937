// Standard input on Windows: a console, a pipe or a file, read with a time-out.
#include <windows.h>

#include "../console_input.h"

namespace platform::detail {
namespace {

// Whether a key press waits in the console's queue; other events (mouse, focus, key
// releases) are dropped so that waiting on the handle does not spin.
bool console_key_waiting(HANDLE input) {
  for (;;) {
    INPUT_RECORD record {};
    DWORD count = 0;
    if (!PeekConsoleInputA(input, &record, 1, &count) || count == 0) return false;
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return true;
    ReadConsoleInputA(input, &record, 1, &count);
  }
}

}  // namespace

long read_console_input(char* buffer, std::size_t size, int wait_ms) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return 0;
  const DWORD type = GetFileType(input);
  if (type == FILE_TYPE_CHAR) {
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode)) {
      if (WaitForSingleObject(input, static_cast<DWORD>(wait_ms)) != WAIT_OBJECT_0) {
        return console_nothing_yet;
      }
      if (!console_key_waiting(input)) return console_nothing_yet;
    }
  } else if (type == FILE_TYPE_PIPE) {
    DWORD available = 0;
    if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) return 0;  // closed
    if (available == 0) {
      Sleep(static_cast<DWORD>(wait_ms < 10 ? wait_ms : 10));
      return console_nothing_yet;
    }
  }
  DWORD got = 0;
  if (!ReadFile(input, buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
  return static_cast<long>(got);
}

bool standard_input_is_terminal() {
  DWORD mode = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  return GetFileType(input) == FILE_TYPE_CHAR && GetConsoleMode(input, &mode);
}

}  // namespace platform::detail
