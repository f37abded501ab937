// A small program that the supervised-run tests start: it does what its arguments say, in
// order, so a test sees exactly what reached it and what it wrote.
//   out TEXT | err TEXT   write TEXT to standard output or error, as bytes
//   cwd                   print the current folder
//   env NAME              print every environment entry whose name is NAME, whatever the
//                         case of its letters ("NAME unset" when there is none)
//   stdin                 read standard input to its end and print how many bytes came
//   sleep MS              wait
//   beat FILE             add a byte to FILE every 20 ms, for ever
//   spawn ARGS...         run this program again with ARGS and wait for it
//   ready                 tell a starter waiting in start_detached that it serves
//   exit N                end with exit code N (read as an unsigned 32-bit number)
//   args ARGS...          print each remaining argument in brackets, one a line
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define CHILD_ENVIRONMENT _environ
#else
#include <unistd.h>
#define CHILD_ENVIRONMENT environ
#endif

#include "platform/fs.h"
#include "platform/process.h"

namespace {

void write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string entry_name(const char* entry) {
  const char* equals = std::strchr(entry + 1, '=');
  return equals == nullptr ? entry : std::string(entry, equals);
}

std::string entries_named(const std::string& name) {
  std::string found;
  for (char** entry = CHILD_ENVIRONMENT; *entry != nullptr; ++entry) {
    if (upper(entry_name(*entry)) == upper(name)) found += std::string(*entry) + "\n";
  }
  return found.empty() ? name + " unset\n" : found;
}

void sleep_ms(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Bytes as they are: the tests compare the output file exactly.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  for (int i = 1; i < argc; ++i) {
    const std::string command = argv[i];
    const std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (command == "out") {
      write(stdout, value);
      ++i;
    } else if (command == "err") {
      write(stderr, value);
      ++i;
    } else if (command == "cwd") {
      write(stdout, platform::current_directory() + "\n");
    } else if (command == "env") {
      write(stdout, entries_named(value));
      ++i;
    } else if (command == "stdin") {
      std::size_t count = 0;
      while (std::fgetc(stdin) != EOF) ++count;
      write(stdout, "stdin " + std::to_string(count) + "\n");
    } else if (command == "sleep") {
      sleep_ms(std::atol(value.c_str()));
      ++i;
    } else if (command == "beat") {
      for (;;) {
        if (std::FILE* beats = std::fopen(value.c_str(), "ab")) {
          std::fputc('.', beats);
          std::fclose(beats);
        }
        sleep_ms(20);
      }
    } else if (command == "ready") {
      platform::daemon_ready();
    } else if (command == "spawn") {
      std::vector<std::string> again{
          platform::join_path(platform::program_folder(), platform::program_file_name("platform_test_child"))};
      again.insert(again.end(), argv + i + 1, argv + argc);
      return platform::run_program(again, {});
    } else if (command == "exit") {
      return static_cast<int>(std::strtoul(value.c_str(), nullptr, 0));
    } else if (command == "args") {
      for (int j = i + 1; j < argc; ++j) write(stdout, std::string("[") + argv[j] + "]\n");
      return 0;
    } else {
      write(stderr, "platform_test_child: unknown command " + command + "\n");
      return 125;
    }
  }
  return 0;
}
