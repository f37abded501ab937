// scriptParser: reads a topology script file and builds its hierarchy.
#include "lattix/script_parser.h"

#include <cstdio>
#include <fstream>
#include <new>
#include <sstream>

#include "lattix/topology.h"
#include "script_builder.h"
#include "script_reader.h"

namespace {

bool readFile(const char* path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  text = content.str();
  return true;
}

bool parseAndBuild(const char* path, topology*& result, packetHandler*& handler,
                   std::string& messages, std::string& warnings) {
  std::string text;
  if (!readFile(path, text)) {
    lattix_script::appendMessage(messages, "Unable to open script file %s\n", path);
    return false;
  }
  lattix_script::scriptModel model;
  return lattix_script::readScript(text, model, messages, warnings) &&
         lattix_script::buildScript(model, result, handler, messages);
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
