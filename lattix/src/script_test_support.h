// Test helper: runs scriptParser on script text written to a temporary file.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "lattix/lattix.h"

struct parsedScript {
  bool ok = false;
  std::string output;  // what the parser printed
  std::string path;
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* result = nullptr;
  packetHandler* handler = nullptr;

  ~parsedScript() {
    delete handler;
    delete result;
    if (!path.empty()) std::remove(path.c_str());
  }
  // The device whose script string names this script device number.
  device* byNumber(int number) const {
    const std::string name = "Script Device " + std::to_string(number);
    for (int i = 0; i < count; ++i)
      if (name == devices[i]->GetDevScriptString()) return devices[i];
    return nullptr;
  }
  bus* root() const { return result ? result->getRootBus() : nullptr; }
};

inline void parseText(const std::string& text, parsedScript& out) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  out.path = ::testing::TempDir() + "lattix_" + info->test_suite_name() + "_" + info->name() + ".test";
  std::ofstream(out.path, std::ios::binary) << text;
  ::testing::internal::CaptureStdout();
  out.ok = scriptParser(out.path.c_str(), out.devices, out.connections, out.count, out.result,
                        out.handler);
  out.output = ::testing::internal::GetCapturedStdout();
}

inline std::string failureOf(const parsedScript& parsed, const std::string& line) {
  return line + "Unable to parse script file " + parsed.path + "\n";
}

// Runs the parser and returns what it printed on standard error.
inline std::string parseWithWarnings(const std::string& text, parsedScript& out) {
  ::testing::internal::CaptureStderr();
  parseText(text, out);
  return ::testing::internal::GetCapturedStderr();
}
