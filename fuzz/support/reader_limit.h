// Fuzz support: runs a target with its reader's own size limit as libFuzzer's -max_len.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zam_fuzz {

// Called from LLVMFuzzerInitialize, which libFuzzer calls before it reads its flags: puts
// "-max_len=<limit>" first among the flags, so that a -max_len given on the command line
// still wins. Readers that take a file get their limit plus one byte, so that inputs just
// past the limit reach the refusal too.
inline void use_reader_limit(int* argc, char*** argv, std::size_t limit) {
  static std::string flag;
  static std::vector<char*> args;
  flag = "-max_len=" + std::to_string(limit);
  args.assign(*argv, *argv + *argc);
  args.insert(args.begin() + (*argc > 0 ? 1 : 0), flag.data());
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size()) - 1;
  *argv = args.data();
}

}  // namespace zam_fuzz
