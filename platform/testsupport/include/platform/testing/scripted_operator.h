// Test support: answers operator prompts and dialogs from a script file for one test.
//
// use() writes the answers to a file of its own and points ZAM_OPERATOR at it; the
// destructor forgets the operator backend's state, unsets ZAM_OPERATOR (also when a test set
// it itself) and removes the file, so each test starts afresh. Every use() names a new file:
// a shared library that carries its own copy of the script backend keeps its position per
// file, so a new name starts that copy afresh too, in any order of tests in one process.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/operator.h"
#include "platform/process.h"

namespace platform::testing {

class scripted_operator {
 public:
  explicit scripted_operator(std::string prefix) : prefix_(std::move(prefix)) {}
  scripted_operator(const scripted_operator&) = delete;
  scripted_operator& operator=(const scripted_operator&) = delete;
  ~scripted_operator() {
    platform::unset_environment("ZAM_OPERATOR");
    platform::reset_operator();
    if (!path_.empty()) std::filesystem::remove(path_);
  }

  // Answers the next prompts and dialogs with these lines, in order.
  void use(const std::string& answers) {
    if (!path_.empty()) std::filesystem::remove(path_);
    static int uses = 0;
    const std::string name = prefix_ + std::to_string(platform::current_process_id()) + "_" + std::to_string(++uses);
    path_ = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream(path_) << answers;
    platform::set_environment("ZAM_OPERATOR", "script:" + path_);
    platform::reset_operator();
  }

 private:
  std::string prefix_;
  std::string path_;
};

}  // namespace platform::testing
