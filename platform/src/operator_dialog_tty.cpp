// Terminal dialogs: numbered menus and prompts, answers typed, time-outs and cancels honoured.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "console_input.h"
#include "operator_dialog_backends.h"
#include "operator_dialog_reply.h"

namespace platform::detail {
namespace {

using steady = std::chrono::steady_clock;

// How often a waiting dialog looks at its cancel flag.
constexpr int poll_slice_ms = 50;

// One terminal dialog at a time: two dialogs reading the same keyboard would split answers.
std::mutex terminal_mutex;
// Bytes typed after the last full line, kept for the next dialog.
std::string typed_ahead;

enum class line_status { line, timed_out, cancelled, closed };

bool cancelled(const dialog_request& request) {
  return request.cancel != nullptr && request.cancel->load();
}

int slice_ms(const std::optional<steady::time_point>& deadline) {
  if (!deadline) return poll_slice_ms;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - steady::now()).count();
  if (left <= 0) return 0;
  return left < poll_slice_ms ? static_cast<int>(left) : poll_slice_ms;
}

line_status read_line(const dialog_request& request, const std::optional<steady::time_point>& deadline,
                      std::string* line) {
  for (;;) {
    const auto end_of_line = typed_ahead.find('\n');
    if (end_of_line != std::string::npos) {
      *line = typed_ahead.substr(0, end_of_line);
      typed_ahead.erase(0, end_of_line + 1);
      return line_status::line;
    }
    if (cancelled(request)) return line_status::cancelled;
    if (deadline && steady::now() >= *deadline) return line_status::timed_out;
    char bytes[256];
    const long got = read_console_input(bytes, sizeof bytes, slice_ms(deadline));
    if (got == console_nothing_yet) continue;
    if (got <= 0) return line_status::closed;
    typed_ahead.append(bytes, static_cast<std::size_t>(got));
  }
}

void show(const dialog_request& request) {
  std::cout << "\n=== " << request.caption << " ===\n";
  if (!request.title.empty()) std::cout << request.title << "\n";
  if (!request.text.empty()) std::cout << request.text << "\n";
  if (request.kind == dialog_kind::choice || request.kind == dialog_kind::multi_choice) {
    for (std::size_t i = 0; i < request.items.size(); ++i) {
      std::cout << "  " << (i + 1) << ") " << request.items[i] << "\n";
    }
    if (request.kind == dialog_kind::choice) std::cout << "  0) Cancel\n";
  }
}

std::string prompt_of(const dialog_request& request) {
  std::string prompt;
  switch (request.kind) {
    case dialog_kind::choice: prompt = "Entry number (0 cancels)"; break;
    case dialog_kind::multi_choice: prompt = "Entry numbers, separated by commas (0 for none, cancel)"; break;
    case dialog_kind::yes_no: prompt = "[1] " + request.yes_label + "  [2] " + request.no_label; break;
    case dialog_kind::number: {
      char digits[16];
      std::snprintf(digits, sizeof digits, request.hexadecimal ? "%X" : "%u", request.default_number);
      prompt = std::string(request.hexadecimal ? "Hexadecimal number" : "Number") + " [Enter: " + digits + "]";
      break;
    }
    case dialog_kind::text: prompt = "Text"; break;
    case dialog_kind::message: prompt = "[Enter] " + request.button; break;
  }
  if (has_timeout(request)) prompt += " (answer within " + describe_timeout(request.timeout_ms) + ")";
  return prompt + " > ";
}

// Waits for the terminal, counting the wait against the dialog's time-out.
std::optional<dialog_end> take_terminal(const dialog_request& request,
                                        const std::optional<steady::time_point>& deadline) {
  // A plain try and a pause, not a timed lock: the library's timed lock goes through a call
  // that thread checkers do not see, so they would take every release for a misuse.
  for (;;) {
    if (terminal_mutex.try_lock()) return std::nullopt;
    if (cancelled(request)) return dialog_end::cancelled;
    if (deadline && steady::now() >= *deadline) return dialog_end::timed_out;
    std::this_thread::sleep_for(std::chrono::milliseconds(poll_slice_ms));
  }
}

}  // namespace

dialog_reply ask_dialog_tty(const dialog_request& request) {
  std::optional<steady::time_point> deadline;
  if (has_timeout(request)) deadline = steady::now() + std::chrono::milliseconds(request.timeout_ms);
  if (const auto busy_end = take_terminal(request, deadline)) return ended_reply(*busy_end);
  std::lock_guard terminal(terminal_mutex, std::adopt_lock);

  show(request);
  if (request.kind == dialog_kind::message && !request.wait_for_operator) {
    std::cout << std::flush;
    return ended_reply(dialog_end::answered);
  }
  for (;;) {
    std::cout << prompt_of(request) << std::flush;
    std::string line;
    switch (read_line(request, deadline, &line)) {
      case line_status::timed_out:
        std::cout << "\nNo answer within " << describe_timeout(request.timeout_ms)
                  << ": the dialog timed out.\n" << std::flush;
        return ended_reply(dialog_end::timed_out);
      case line_status::cancelled:
        std::cout << "\nThe dialog was closed by the program.\n" << std::flush;
        return ended_reply(dialog_end::cancelled);
      case line_status::closed:
        std::cerr << "operator: input closed; dialog \"" << request.caption << "\" left unanswered\n";
        return ended_reply(dialog_end::failed);
      case line_status::line: break;
    }
    std::string why;
    if (auto reply = parse_dialog_line(request, line, &why)) return *reply;
    std::cout << "Please " << why << ".\n";
  }
}

}  // namespace platform::detail
