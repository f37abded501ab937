// Profile (ini) file reading and writing with Windows profile-function behaviour.
#include "platform/profile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <vector>

#include "platform/fs.h"
#include "platform/input_file.h"
#include "platform/install_layout.h"
#include "platform/library.h"
#include "platform/output_file.h"
#include "platform/process.h"

#ifndef ZAM_SYSTEM_DIR_DEFAULT
#define ZAM_SYSTEM_DIR_DEFAULT "/etc/zam"
#endif

namespace platform {
namespace {

std::string_view trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

struct profile_file {
  std::vector<std::string> lines;  // without line breaks
  bool crlf = false;
  bool ends_with_break = true;
};

enum class load_result { loaded, missing, refused };

// A file that exists but is not a regular file or is larger than the limit is said once
// per path and process, not at every key read from it.
void say_refused(const std::string& path, const std::string& reason) {
  static std::mutex mutex;
  static std::set<std::string> said;
  std::lock_guard lock(mutex);
  if (!said.insert(path).second) return;
  std::fprintf(stderr, "profile: cannot read %s: %s; its values are not used\n", path.c_str(), reason.c_str());
}

load_result load(const std::string& path, profile_file& file, std::string* refusal = nullptr) {
  std::string text, reason;
  if (!read_input_file(path, max_profile_file_bytes, &text, &reason)) {
    if (!file_exists(path)) return load_result::missing;
    say_refused(path, reason);
    if (refusal != nullptr) *refusal = path + ": " + reason;
    return load_result::refused;
  }
  file.crlf = text.find("\r\n") != std::string::npos;
  file.ends_with_break = text.empty() || text.back() == '\n';
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    file.lines.push_back(std::move(line));
    start = end + 1;
  }
  return load_result::loaded;
}

// Section name of a "[name]" line, or nullopt-like empty flag.
bool section_name(std::string_view line, std::string_view& name) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return false;
  const auto close = line.find(']');
  name = trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
  return true;
}

bool key_value(std::string_view line, std::string_view& key, std::string_view& value) {
  const auto trimmed = trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return false;
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  key = trim(line.substr(0, equals));
  value = trim(line.substr(equals + 1));
  return true;
}

std::string_view unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

std::string system_settings_dir() {
  const char* dir = std::getenv("ZAM_SYSTEM_DIR");
  if (dir != nullptr && *dir != '\0') return dir;
  // An installed tree is relocatable: its settings folder is found from where the library
  // (or program) that holds this code sits, then from where the program sits.
  for (const std::string& folder : {module_folder(), program_folder()}) {
    if (folder.empty() || folder[0] != native_separator) continue;
    const std::string installed = settings_folder_of_prefix(install_prefix_of(folder));
    if (file_exists(installed)) return installed;
  }
  return ZAM_SYSTEM_DIR_DEFAULT;
}

std::string resolve_profile_path(const std::string& path) {
  std::string native = native_path(path);
  if (native.find(native_separator) == std::string::npos) {
    return join_path(system_settings_dir(), native);
  }
  return native;
}

std::string read_profile_string(std::string_view section, std::string_view key,
                                std::string_view default_value, const std::string& path,
                                std::size_t buffer_size) {
  std::string result(default_value);
  profile_file file;
  if (load(resolve_profile_path(path), file) == load_result::loaded) {
    bool in_section = false;
    for (const auto& line : file.lines) {
      std::string_view name;
      if (section_name(line, name)) {
        in_section = equal_ignoring_case(name, trim(section));
        continue;
      }
      std::string_view k, v;
      if (in_section && key_value(line, k, v) && equal_ignoring_case(k, trim(key))) {
        result = std::string(unquote(v));
        break;
      }
    }
  }
  if (buffer_size == 0) return {};
  if (result.size() > buffer_size - 1) result.resize(buffer_size - 1);
  return result;
}

std::size_t get_profile_string(const char* section, const char* key, const char* default_value,
                               char* out, std::size_t size, const char* path) {
  if (out == nullptr || size == 0) return 0;
  const std::string value =
      read_profile_string(section ? section : "", key ? key : "",
                          default_value ? default_value : "", path ? path : "", size);
  std::memcpy(out, value.data(), value.size());
  out[value.size()] = '\0';
  return value.size();
}

bool write_profile_string(std::string_view section, std::string_view key, std::string_view value,
                          const std::string& path, std::string* reason) {
  const std::string resolved = resolve_profile_path(path);
  profile_file file;
  // A missing file starts empty; one that cannot be read whole is never replaced.
  if (load(resolved, file, reason) == load_result::refused) return false;
  const std::string wanted_section(trim(section));
  const std::string wanted_key(trim(key));

  // Find the section and, inside it, the key or the last non-blank line.
  bool in_section = false;
  bool section_found = false;
  std::size_t insert_after = 0;  // index of the section's last non-blank line
  std::size_t key_line = file.lines.size();
  for (std::size_t i = 0; i < file.lines.size() && key_line == file.lines.size(); ++i) {
    std::string_view name;
    if (section_name(file.lines[i], name)) {
      in_section = equal_ignoring_case(name, wanted_section);
      if (in_section && !section_found) {
        section_found = true;
        insert_after = i;
      } else if (section_found) {
        break;  // the first matching section gets the key
      }
      continue;
    }
    if (!in_section) continue;
    std::string_view k, v;
    if (key_value(file.lines[i], k, v) && equal_ignoring_case(k, wanted_key)) {
      key_line = i;
    } else if (!trim(file.lines[i]).empty()) {
      insert_after = i;
    }
  }

  if (key_line < file.lines.size()) {
    const auto& line = file.lines[key_line];
    const auto equals = line.find('=');
    std::string head = std::string(trim(std::string_view(line).substr(0, equals)));
    file.lines[key_line] = head + "=" + std::string(value);
  } else if (section_found) {
    file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(insert_after) + 1,
                      wanted_key + "=" + std::string(value));
  } else {
    file.lines.push_back("[" + wanted_section + "]");
    file.lines.push_back(wanted_key + "=" + std::string(value));
  }

  // Write a sibling file and rename it over the original, so a failed write loses nothing.
  const std::string temp = resolved + ".tmp";
  const char* line_break = file.crlf ? "\r\n" : "\n";
  std::string text;
  for (const auto& line : file.lines) text += line + line_break;
  std::string why;
  if (!write_whole_file(temp, text, output_kind::binary, &why)) {
    delete_file(temp);
    if (reason != nullptr) *reason = temp + ": " + why;
    return false;
  }
  // std::filesystem::rename replaces an existing file on every system (std::rename does
  // not on Windows).
  std::error_code failed;
  std::filesystem::rename(temp, resolved, failed);
  if (failed) {
    delete_file(temp);
    if (reason != nullptr) *reason = resolved + ": " + failed.message();
    return false;
  }
  return true;
}

}  // namespace platform
