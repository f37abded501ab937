// Masks that make compliance logs of different runs comparable.
#include "log_masks.h"

#include <cctype>
#include <sstream>

#include "golden.h"

namespace e2e {
namespace {

bool is_trace_word(const std::string& line) {
  if (line.size() != 10 || line.compare(0, 2, "0x") != 0) return false;
  for (size_t i = 2; i < line.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(line[i]))) return false;
  return true;
}

void replace_all(std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

}  // namespace

std::string mask_trace_words(const std::string& xml) {
  std::istringstream in(xml);
  std::string line, out;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.find("<TBData>") != std::string::npos) inside = true;
    if (line.find("</TBData>") != std::string::npos) inside = false;
    out += inside && is_trace_word(line) ? "0x########" : line;
    out += '\n';
  }
  return out;
}

std::string wine_path(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows)
    if (c == '/') c = '\\';
  return windows;
}

std::string mask_run_specifics(const std::string& xml, const std::vector<std::string>& folders) {
  std::string text;
  text.reserve(xml.size());
  for (std::size_t i = 0; i < xml.size(); ++i) {
    if (xml[i] == '\r' && i + 1 < xml.size() && xml[i + 1] == '\n') continue;
    text += xml[i];
  }
  for (const std::string& folder : folders) {
    // The longer spellings first: the Windows one holds the POSIX one's letters otherwise.
    replace_all(text, wine_path(folder), "<folder>");
    std::string drive_slashes = "Z:" + folder;
    replace_all(text, drive_slashes, "<folder>");
    replace_all(text, folder, "<folder>");
  }
  return mask_trace_words(vexo_test::mask_machine_numbers(text));
}

}  // namespace e2e
