// Test helpers: a temporary current folder and small file I/O.
#include "temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/fs.h"
#include "platform/process.h"

namespace vexo_test {

temp_folder::temp_folder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() /
                     ("vexo_test_" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) path_ = candidate;
  }
  if (path_.empty()) throw std::runtime_error("no temporary folder");
  path_ = std::filesystem::canonical(path_);
  std::filesystem::create_directory(system_dir());
  previous_current_ = std::filesystem::current_path();
  std::filesystem::current_path(path_);
  if (const char* system = std::getenv("ZAM_SYSTEM_DIR")) {
    had_system_dir_ = true;
    previous_system_dir_ = system;
  }
  platform::set_environment("ZAM_SYSTEM_DIR", system_dir().string());
}

temp_folder::~temp_folder() {
  std::filesystem::current_path(previous_current_);
  if (had_system_dir_) {
    platform::set_environment("ZAM_SYSTEM_DIR", previous_system_dir_);
  } else {
    platform::unset_environment("ZAM_SYSTEM_DIR");
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string temp_folder::file(const std::string& name) const {
  return platform::native_path((path_ / name).string());
}

// Read as text, as the logs were written: on Windows their CR LF line ends read as "\n".
std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void write_file(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
}

}  // namespace vexo_test
