// Fuzz support: hands a fuzz input to a reader that takes a file path.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace zam_fuzz {

// One file per process, rewritten for every input and removed at exit.
class input_file {
 public:
  explicit input_file(const std::string& name)
      : path_((std::filesystem::temp_directory_path() /
               ("zam_fuzz_" + name + "_" + std::to_string(::getpid())))
                  .string()) {}
  ~input_file() { std::filesystem::remove(path_); }

  // Writes the bytes and returns the path.
  const std::string& write(const uint8_t* data, size_t size) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path_;
  }

 private:
  std::string path_;
};

}  // namespace zam_fuzz
