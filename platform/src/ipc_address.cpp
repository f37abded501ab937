// Lab addresses: "tcp:HOST:PORT" or a local socket's path.
#include <cctype>
#include <string>

#include "platform/ipc.h"

namespace platform {

bool is_tcp_address(const std::string& address) { return address.rfind("tcp:", 0) == 0; }

bool parse_tcp_address(const std::string& address, tcp_endpoint& out, bool any_port, std::string* error) {
  const auto malformed = [&](const std::string& why) {
    if (error) *error = "\"" + address + "\" is not a TCP address tcp:HOST:PORT (" + why + ")";
    return false;
  };
  if (!is_tcp_address(address)) return malformed("it does not start with tcp:");
  const std::string rest = address.substr(4);
  const auto colon = rest.find(':');
  if (colon == std::string::npos) return malformed("no port");
  const std::string host = rest.substr(0, colon);
  const std::string port = rest.substr(colon + 1);
  if (host.empty()) return malformed("no host");
  // An IPv4 address or a host name: letters, digits, dots and hyphens.
  for (const char c : host) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') {
      return malformed("the host is an IPv4 address or a host name");
    }
  }
  const std::string range = any_port ? "0 to 65535" : "1 to 65535";
  if (port.empty() || port.size() > 5) return malformed("the port is a number from " + range);
  unsigned long value = 0;
  for (const char c : port) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return malformed("the port is a number from " + range);
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value > 65535 || (value == 0 && !any_port)) return malformed("the port is a number from " + range);
  out.host = host;
  out.port = static_cast<uint16_t>(value);
  return true;
}

stream_connection connect_stream(const std::string& address, std::string* error) {
  return is_tcp_address(address) ? connect_tcp(address, error) : connect_local(address, error);
}

}  // namespace platform
