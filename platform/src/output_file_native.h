// What each backend supplies to the shared output-file code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/output_file.h"

namespace platform::detail {

// Opens a file for writing; false with the system's reason. `handle` is the backend's own.
bool open_output_native(const std::string& path, output_mode mode, std::intptr_t& handle,
                        std::string& reason);
// Writes every byte (retrying short writes); false with the system's reason.
bool write_output_native(std::intptr_t handle, std::string_view bytes, std::string& reason);
// Closes the handle; false with the system's reason when the close reports a failure.
bool close_output_native(std::intptr_t handle, std::string& reason);

}  // namespace platform::detail
