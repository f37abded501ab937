// Binding the hardware interface library named in the ini file: each failure's messages
// and exit status, optional and required exports, unbound calls.
#include "hardware_binding.h"

#include <gtest/gtest.h>

#include "fwtool_fixture.h"
#include "platform/fs.h"

namespace {

using fwtool_testing::FwtoolTest;

class HardwareBindingTest : public FwtoolTest {
 protected:
  // Runs the tool with the menus (nothing should get that far) and captures both streams.
  int run_menus(std::string& out, std::string& err) {
    testing::internal::CaptureStderr();
    const int status = run({}, &out);
    err = testing::internal::GetCapturedStderr();
    return status;
  }
};

TEST_F(HardwareBindingTest, FailuresEndTheProgramWithTheirStatus) {
  std::string out, err;
  write_ini("[TimingParameters]\nDriverInitTimeout=0\n");  // no DLLName
  answers("EXIT\n");
  EXPECT_EQ(run_menus(out, err), 2);
  EXPECT_EQ(err, "Failed to find DLL file in INI. Exiting.\n");
  EXPECT_EQ(out, "");

  write_ini("[DLL]\nDLLName=XXXXXXX\n");
  answers("EXIT\n");
  EXPECT_EQ(run_menus(out, err), 2);
  EXPECT_EQ(err, "");

  write_ini("[DLL]\nDLLName=missing.dll\n");
  answers("EXIT\n");
  EXPECT_EQ(run_menus(out, err), 4);
  EXPECT_EQ(err, "Failed to open DLL file " + platform::join_path(folder_.string(), "missing.dll") + ". Exiting.\n");

  write_ini("[DLL]\nDLLName=no_close.dll\n");
  answers("EXIT\n");
  EXPECT_EQ(run_menus(out, err), 6);
  EXPECT_EQ(out, "Hardware Interface Load Fail\n");
}

TEST_F(HardwareBindingTest, OptionalExportsMayBeMissingAndUnboundCallsFail) {
  answers("");
  fwtool::hardware_interface without_tlp;
  EXPECT_EQ(without_tlp.bind("no_tlp.dll", folder_.string(), nullptr), 0u);
  EXPECT_FALSE(without_tlp.has_generate_tlp());
  uint32_t bytes = 5;
  uint32_t buffer[4];
  EXPECT_EQ(without_tlp.read(sizeof buffer, 10, &bytes, buffer), 0x80000009u);  // the library's own answer

  fwtool::hardware_interface full;
  EXPECT_EQ(full.bind("zamlib.dll", folder_.string(), nullptr), 0u);
  EXPECT_TRUE(full.has_generate_tlp());

  const fwtool::hardware_interface unbound;
  EXPECT_EQ(unbound.init(0), fwtool::not_bound);
  EXPECT_EQ(unbound.close(), fwtool::not_bound);
  EXPECT_EQ(unbound.read(16, 0, &bytes, buffer), fwtool::not_bound);
  EXPECT_EQ(unbound.write(buffer, 12, 0), fwtool::not_bound);
}

}  // namespace
