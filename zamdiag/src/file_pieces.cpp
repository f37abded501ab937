// Opening and reading the files the tool sends.
#include "file_pieces.h"

#include "platform/fs.h"
#include "platform/input_file.h"
#include "print_format.h"

namespace zamdiag {
namespace {

constexpr const char* not_regular = "not a regular file";

}  // namespace

bool open_input(std::ostream& err, const std::string& path, std::ifstream& file) {
  std::string reason;
  if (platform::file_exists(path) && !platform::is_input_file(path, &reason) && reason == not_regular) {
    err << format("%s is not a regular file\n", path.c_str());
    return false;
  }
  file.open(path, std::ios::binary);
  if (!file) {
    err << format("can't open %s\n", path.c_str());
    return false;
  }
  if (file.peek() == std::ifstream::traits_type::eof() && !file.bad()) {
    err << format("%s is empty: nothing to send\n", path.c_str());
    return false;
  }
  return true;
}

bool read_input(std::ostream& err, const std::string& path, std::size_t limit, std::string& content) {
  std::string reason;
  if (platform::read_input_file(path, limit, &content, &reason)) return true;
  if (reason == not_regular || reason == platform::larger_than_text(limit)) {
    err << format("%s is %s\n", path.c_str(), reason.c_str());
  } else {
    err << format("can't open %s\n", path.c_str());
  }
  return false;
}

}  // namespace zamdiag
