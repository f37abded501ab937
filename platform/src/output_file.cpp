// Output files: the shared steps, each passing the test seam before the system call.
#include "platform/output_file.h"

#include "output_file_native.h"
#include "platform/fs.h"

namespace platform {
namespace {

bool fail(std::string* reason, std::string why) {
  if (reason != nullptr) *reason = std::move(why);
  return false;
}

std::string with_native_line_ends(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    if (c == '\n') {
      text += native_line_end;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

output_file::~output_file() {
  if (is_open()) close();
}

bool output_file::open(const std::string& path, output_mode mode, output_kind kind, std::string* reason) {
  if (is_open()) close();
  path_ = path;
  kind_ = kind;
  if (auto planned = planned_file_fault(file_step::open, path)) return fail(reason, *planned);
  std::string why;
  std::intptr_t handle = closed;
  if (!detail::open_output_native(path, mode, handle, why)) return fail(reason, why);
  handle_ = handle;
  return true;
}

bool output_file::write(std::string_view bytes, std::string* reason) {
  if (!is_open()) return fail(reason, "the file is not open");
  if (auto planned = planned_file_fault(file_step::write, path_)) return fail(reason, *planned);
  std::string why;
  const bool translate = kind_ == output_kind::text && native_line_end != "\n";
  const bool written = translate ? detail::write_output_native(handle_, with_native_line_ends(bytes), why)
                                 : detail::write_output_native(handle_, bytes, why);
  return written || fail(reason, why);
}

bool output_file::close(std::string* reason) {
  if (!is_open()) return fail(reason, "the file is not open");
  const std::intptr_t handle = handle_;
  handle_ = closed;
  std::string why;
  const bool closed_well = detail::close_output_native(handle, why);
  if (auto planned = planned_file_fault(file_step::close, path_)) return fail(reason, *planned);
  return closed_well || fail(reason, why);
}

bool write_whole_file(const std::string& path, std::string_view bytes, output_kind kind, std::string* reason) {
  output_file file;
  if (!file.open(path, output_mode::create, kind, reason)) return false;
  if (!file.write(bytes, reason)) return false;
  return file.close(reason);
}

}  // namespace platform
