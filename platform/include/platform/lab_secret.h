// The lab's secret: what a TCP client proves it knows before the daemon serves it.
//
// The daemon makes a fresh random secret when it listens on TCP and writes it, as 64
// hexadecimal digits and a line end, into a file only its user can read. Clients read it
// from the file ZAMSIM_SECRET names, else from the default place for the address's port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/lab_protocol.h"

namespace platform {

// Fills `data` from the system's random source; false with `error` set when it cannot.
bool random_bytes(void* data, std::size_t size, std::string* error = nullptr);

// Writes `content` into a new file only the current user can read and write (mode 0600),
// replacing an old one; false with `error` set on failure.
bool write_private_file(const std::string& path, const std::string& content, std::string* error = nullptr);

namespace lab {

using secret = std::array<uint8_t, secret_size>;

// A fresh secret from the system's random source.
bool make_secret(secret& out, std::string* error = nullptr);

// The file's text: 64 lowercase hexadecimal digits and "\n".
std::string secret_text(const secret& value);
// Reads that text back (the line end may be "\n", "\r\n" or none); false on anything else.
bool parse_secret(const std::string& text, secret& out);

// The default secret file for a TCP port: tcp-PORT.secret in the lab's folder of this user
// (zamsim-UID in the runtime folder, where the default socket lives).
std::string default_secret_path(uint16_t port);

// The secret file a client of `address` reads: $ZAMSIM_SECRET when set, else the default.
std::string secret_path_for(const std::string& address);

// "Z:\x\y" for the Unix path "/x/y": where a program under wine finds a file the Linux side
// names (wine maps the Unix root to drive Z:). Empty for a path that is not Unix-absolute.
std::string wine_drive_z_path(const std::string& unix_path);

// The names under which a secret file is tried: the path as given and, on Windows, its
// drive Z: form when it is a Unix absolute path.
std::vector<std::string> secret_file_candidates(const std::string& path);

// Reads a secret file (trying its candidates in turn); false with `error` saying why.
bool read_secret_file(const std::string& path, secret& out, std::string* error = nullptr);

}  // namespace lab
}  // namespace platform
