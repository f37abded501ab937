// The fixture of zamdiag's unit tests: a card stand-in, captured output, a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_ezusb.h"
#include "platform/process.h"
#include "zamdiag.h"

namespace zamdiag::testing {

class ZamdiagTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::set_environment("ZAM_TIME_SCALE", "0");
    platform::set_environment("TZ", "UTC");
    folder_ = std::filesystem::temp_directory_path() /
              ("zamdiag_test_" + std::to_string(platform::current_process_id()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Runs the tool; the status dump's clock reads 2026-12-09 14:05:09 (a Wednesday).
  int zamdiag(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    card_.requests.clear();
    return run(args, out_, err_, [] { return platform::local_time{2026, 12, 3, 9, 14, 5, 9, 0}; });
  }

  std::string file(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::string text_file(const std::string& name, const std::string& text) {
    return file(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  std::string path(const std::string& name) const { return (folder_ / name).string(); }
  std::vector<uint8_t> read_file(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  // Vendor requests seen, as code and address.
  std::vector<std::pair<uint8_t, uint32_t>> vendor_requests() const {
    std::vector<std::pair<uint8_t, uint32_t>> seen;
    for (const auto& r : card_.requests) {
      if (r.code == 0x222059) seen.emplace_back(fake_ezusb::vendor_code(r), fake_ezusb::vendor_address(r));
    }
    return seen;
  }

  fake_ezusb card_;
  std::ostringstream out_, err_;
  std::filesystem::path folder_;
};

}  // namespace zamdiag::testing
