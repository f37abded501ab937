// The system's text for a Windows error code.
#pragma once

#include <cstdint>
#include <string>

namespace platform::detail {

// FormatMessage text without the trailing line break; "error N" when the system has none.
std::string windows_error_text(uint32_t code);

}  // namespace platform::detail
