// What each backend supplies to the shared file code.
#pragma once

#include <string>

namespace platform::detail {

// Deletes a file with the system call; false with the system's reason on failure.
bool delete_file_native(const std::string& path, std::string& reason);

}  // namespace platform::detail
