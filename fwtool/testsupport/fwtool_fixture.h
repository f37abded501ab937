// Test support for fwtool: a bench folder (ini file, scripts, the hardware interface
// library), the card stand-in playing a small firmware, and scripted operator answers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "card_standin.h"
#include "platform/testing/scripted_operator.h"

namespace fwtool_testing {

// The requests of a small firmware that finds one endpoint at 00:00.0, probes an empty
// slot, writes the endpoint's command register and ends with the stop marker.
std::vector<std::vector<uint32_t>> small_firmware(uint32_t command_data = 0);

class FwtoolTest : public ::testing::Test {
 protected:
  FwtoolTest();
  ~FwtoolTest() override;

  // Writes ini/ORVENapp.ini with these lines (the section headers included).
  void write_ini(const std::string& text);
  // The usual ini: zamlib, short time-outs, automated or not.
  void write_standard_ini(const std::string& extra = "");
  // Places a script from testdata under Tests/<category>/<name>.
  void place_script(const std::string& testdata_name, const std::string& category, const std::string& name);
  void queue_firmware(const std::vector<std::vector<uint32_t>>& requests);
  std::string read(const std::string& relative) const;
  bool exists(const std::string& relative) const;
  // Runs the program's logic with these arguments; captures standard output.
  int run(const std::vector<std::string>& args, std::string* out = nullptr);

  // Answers the next prompts and dialogs with these lines (a fresh script each call).
  void answers(const std::string& lines);

  std::filesystem::path folder_;
  std::filesystem::path previous_;
  zamlib_testing::card_standin card_;
  std::unique_ptr<platform::testing::scripted_operator> operator_;
};

}  // namespace fwtool_testing
