// Test helpers: a temporary folder that becomes the current folder, and small file I/O.
#pragma once

#include <filesystem>
#include <string>

namespace vexo_test {

// Creates a fresh folder, makes it the current folder and sets ZAM_SYSTEM_DIR to its
// "system" subfolder; everything is undone and removed on destruction.
class temp_folder {
 public:
  temp_folder();
  ~temp_folder();
  temp_folder(const temp_folder&) = delete;
  temp_folder& operator=(const temp_folder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path system_dir() const { return path_ / "system"; }
  // The file's path with native separators, as the framework builds it.
  std::string file(const std::string& name) const;

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_current_;
  std::string previous_system_dir_;
  bool had_system_dir_ = false;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);

}  // namespace vexo_test
