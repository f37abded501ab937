// printf-style formatting into a string, for the tool's fixed message formats.
#pragma once

#include <string>

namespace zamdiag {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zamdiag
