// The lab's secret: making it, its file's text, and where clients find it.
#include "platform/lab_secret.h"

#include <fstream>
#include <sstream>

#include "platform/ipc.h"
#include "platform/process.h"

namespace platform::lab {

bool make_secret(secret& out, std::string* error) { return random_bytes(out.data(), out.size(), error); }

std::string secret_text(const secret& value) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : value) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text + "\n";
}

bool parse_secret(const std::string& text, secret& out) {
  std::string digits = text;
  if (digits.size() >= 1 && digits.back() == '\n') digits.pop_back();
  if (digits.size() >= 1 && digits.back() == '\r') digits.pop_back();
  if (digits.size() != 2 * secret_size) return false;
  const auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  secret parsed{};
  for (std::size_t i = 0; i < secret_size; ++i) {
    const int high = value(digits[2 * i]), low = value(digits[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    parsed[i] = static_cast<uint8_t>(high << 4 | low);
  }
  out = parsed;
  return true;
}

std::string default_secret_path(uint16_t port) {
  return runtime_directory() + "/zamsim-" + std::to_string(current_user_id()) + "/tcp-" + std::to_string(port) +
         ".secret";
}

std::string secret_path_for(const std::string& address) {
  const std::string named = get_environment("ZAMSIM_SECRET");
  if (!named.empty()) return named;
  tcp_endpoint endpoint;
  if (!parse_tcp_address(address, endpoint, false)) return {};
  return default_secret_path(endpoint.port);
}

std::string wine_drive_z_path(const std::string& unix_path) {
  if (unix_path.size() < 2 || unix_path[0] != '/' || unix_path[1] == '/') return {};
  std::string path = "Z:" + unix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::vector<std::string> secret_file_candidates(const std::string& path) {
  std::vector<std::string> names{path};
#ifdef _WIN32
  if (const std::string on_z = wine_drive_z_path(path); !on_z.empty()) names.push_back(on_z);
#endif
  return names;
}

bool read_secret_file(const std::string& path, secret& out, std::string* error) {
  if (path.empty()) {
    if (error) *error = "no secret file is named (set ZAMSIM_SECRET)";
    return false;
  }
  for (const std::string& name : secret_file_candidates(path)) {
    std::ifstream in(name, std::ios::binary);
    if (!in) continue;
    std::stringstream text;
    text << in.rdbuf();
    if (parse_secret(text.str(), out)) return true;
    if (error) *error = "the secret file " + name + " does not hold a lab secret (64 hexadecimal digits)";
    return false;
  }
  if (error) *error = "cannot read the lab's secret file " + path + " (ZAMSIM_SECRET names another)";
  return false;
}

}  // namespace platform::lab
