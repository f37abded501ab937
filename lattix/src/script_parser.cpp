// scriptParser: reads a topology script file and builds its hierarchy.
#include "lattix/script_parser.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>

#include "lattix/topology.h"
#include "script_builder.h"
#include "script_reader.h"

namespace {

// Reads the whole script: a regular file of at most kMaxScriptFileBytes. A folder, a
// device such as /dev/zero or a pipe, or a larger file is refused with its own message.
bool readFile(const char* path, std::string& text, std::string& messages) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) {
    lattix_script::appendMessage(messages, "Unable to open script file %s\n", path);
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) {
    lattix_script::appendMessage(messages, "Script file %s is not a regular file\n", path);
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    lattix_script::appendMessage(messages, "Unable to open script file %s\n", path);
    return false;
  }
  // One byte more than the limit tells a file at the limit from a longer one.
  text.assign(kMaxScriptFileBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) {
    lattix_script::appendMessage(messages, "Unable to read script file %s\n", path);
    return false;
  }
  if (text.size() > kMaxScriptFileBytes) {
    lattix_script::appendMessage(messages, "Script file %s is larger than %u bytes\n", path,
                                 static_cast<unsigned>(kMaxScriptFileBytes));
    return false;
  }
  return true;
}

bool parseAndBuild(const char* path, topology*& result, packetHandler*& handler,
                   std::string& messages, std::string& warnings) {
  std::string text;
  if (!readFile(path, text, messages)) return false;
  lattix_script::scriptModel model;
  return lattix_script::readScript(text, model, messages, warnings) &&
         lattix_script::buildScript(model, result, handler, messages, warnings);
}

}  // namespace

bool scriptParser(const char* path, device**& devices, int**& connections, int& count,
                  topology*& result, packetHandler*& handler) {
  devices = nullptr;
  connections = nullptr;
  count = 0;
  result = nullptr;
  handler = nullptr;
  if (!path) path = "";
  std::string messages;
  std::string warnings;
  bool ok = false;
  try {
    ok = parseAndBuild(path, result, handler, messages, warnings);
  } catch (const std::bad_alloc&) {
    lattix_script::appendMessage(messages, "Unable to find/create Modifier Data Structure!\n");
    ok = false;
  }
  // Warnings name what was read past in a script that may still build.
  if (!warnings.empty()) {
    std::fputs(warnings.c_str(), stderr);
    std::fflush(stderr);
  }
  if (!ok) {
    lattix_script::appendMessage(messages, "Unable to parse script file %s\n", path);
    std::fputs(messages.c_str(), stdout);
    std::fflush(stdout);
    return false;
  }
  devices = result->getDevices();
  connections = result->getConnectionTable();
  count = result->getDeviceCount();
  return true;
}
