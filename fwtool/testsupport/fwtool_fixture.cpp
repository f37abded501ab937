// Test support for fwtool: bench folder, card stand-in firmware, operator answers.
#include "fwtool_fixture.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "fwtool_app.h"
#include "platform/devio.h"
#include "platform/process.h"

ZAM_SHARE_DEVICE_PROVIDERS()

namespace fwtool_testing {

namespace fs = std::filesystem;
using zamlib_testing::config_read;
using zamlib_testing::config_write;

std::vector<std::vector<uint32_t>> small_firmware(uint32_t command_data) {
  return {config_read(0, 0, 0, 0x00, 0), config_read(0, 0, 0, 0x0C, 1), config_read(0, 1, 0, 0x00, 2),
          config_write(0, 0, 0, 0x04, 3, command_data, 0x3), config_write(0, 0, 0, 0xFC, 4, 0x01000000, 0x1)};
}

namespace {

// Places a built library in the bench folder under the name the tool looks for (a link, or a
// copy where the system refuses links to an unprivileged user).
void place_library(const fs::path& built, const fs::path& placed) {
  std::error_code refused;
  fs::create_symlink(built, placed, refused);
  if (refused) fs::copy_file(built, placed);
}

fs::path library_file(const fs::path& folder, const std::string& stem) {
  return folder / (std::string(FWTOOL_LIBRARY_PREFIX) + stem + FWTOOL_LIBRARY_SUFFIX);
}

}  // namespace

FwtoolTest::FwtoolTest() {
  folder_ = platform::make_temp_folder("fwtool_test_");
  if (folder_.empty()) throw std::runtime_error("no temporary folder");
  previous_ = fs::current_path();
  fs::current_path(folder_);
  place_library(FWTOOL_ZAMLIB_FILE, library_file(folder_, "zamlib"));
  place_library(FWTOOL_NO_CLOSE_FILE, library_file(folder_, "no_close"));
  place_library(FWTOOL_NO_TLP_FILE, library_file(folder_, "no_tlp"));
  platform::set_environment("ZAM_TIME_SCALE", "0.001");
}

FwtoolTest::~FwtoolTest() {
  platform::unset_environment("ZAM_TIME_SCALE");
  fs::current_path(previous_);
  fs::remove_all(folder_);
}

void FwtoolTest::write_ini(const std::string& text) {
  fs::create_directories(folder_ / "ini");
  std::ofstream(folder_ / "ini" / "ORVENapp.ini") << text;
}

void FwtoolTest::write_standard_ini(const std::string& extra) {
  write_ini("[DLL]\nDLLName=zamlib.dll\n[TimingParameters]\nDriverInitTimeout=0\nTrafficStopTimeout=500\n"
            "FirstRequestTimeout=1000\n" + extra);
}

void FwtoolTest::answers(const std::string& lines) {
  // The answer position is kept per script path in every library that reads it, so each
  // script gets a path of its own.
  static int count = 0;
  operator_.reset();
  operator_ = std::make_unique<platform::testing::scripted_operator>("fwtool_" + std::to_string(++count) + "_");
  operator_->use(lines);
}

void FwtoolTest::place_script(const std::string& testdata_name, const std::string& category, const std::string& name) {
  fs::create_directories(folder_ / "Tests" / category);
  fs::copy_file(fs::path(FWTOOL_TESTDATA_DIR) / testdata_name, folder_ / "Tests" / category / name,
                fs::copy_options::overwrite_existing);
}

void FwtoolTest::queue_firmware(const std::vector<std::vector<uint32_t>>& requests) {
  for (const auto& r : requests) card_.queue_request(r);
}

// Read as text, as the tool wrote it: on Windows its CR LF line ends read as "\n".
std::string FwtoolTest::read(const std::string& relative) const {
  std::ifstream in(folder_ / relative);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool FwtoolTest::exists(const std::string& relative) const { return fs::exists(folder_ / relative); }

int FwtoolTest::run(const std::vector<std::string>& args, std::string* out) {
  std::vector<const char*> argv{"fwtool"};
  for (const auto& a : args) argv.push_back(a.c_str());
  testing::internal::CaptureStdout();
  const int status = fwtool::run_fwtool(static_cast<int>(argv.size()), argv.data());
  const std::string text = testing::internal::GetCapturedStdout();
  if (out != nullptr) *out = text;
  return status;
}

}  // namespace fwtool_testing
