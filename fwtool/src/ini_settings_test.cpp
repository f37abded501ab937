// The ini file: every key, defaults, and numbers that do not parse.
#include "ini_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

TEST(IniSettingsTest, EveryKeyAndItsDefault) {
  fwtool::run_settings s;
  fwtool::read_ini_settings("/nonexistent/ini/ORVENapp.ini", s, nullptr);
  EXPECT_EQ(s.driver_init_timeout_ms, 30000u);
  EXPECT_EQ(s.first_request_timeout_ms, 30000u);
  EXPECT_EQ(s.traffic_stop_timeout_ms, 30000u);
  EXPECT_EQ(s.log_type, 0u);
  EXPECT_EQ(s.behaviour, fwtool::normal_response);
  EXPECT_FALSE(s.automated);
  EXPECT_TRUE(s.prompt_operator);
  EXPECT_FALSE(s.log_final_registers);
  EXPECT_EQ(fwtool::read_dll_name("/nonexistent/ini/ORVENapp.ini"), "Dll not found");

  const auto path = std::filesystem::temp_directory_path() / "fwtool_ini_test.ini";
  std::ofstream(path) << "[DLL]\nDLLName = zamlib.dll\n[TimingParameters]\nDriverInitTimeout=100\n"
                         "TrafficStopTimeout=200\nFirstRequestTimeout=300\n[LogParameters]\nLogType=1\n"
                         "LogFinalDevRegisters=1\n[DeviceParameters]\nNonResponsiveDevice=1\n"
                         "[CustomOptions]\nAutomateRunAll=2500\nPromptUserToPowerSystem=0\n";
  fwtool::read_ini_settings(path.string(), s, nullptr);
  EXPECT_EQ(s.driver_init_timeout_ms, 100u);
  EXPECT_EQ(s.traffic_stop_timeout_ms, 200u);
  EXPECT_EQ(s.first_request_timeout_ms, 300u);
  EXPECT_EQ(s.log_type, 1u);
  EXPECT_TRUE(s.log_final_registers);
  EXPECT_EQ(s.behaviour, fwtool::drop_all);
  EXPECT_EQ(s.ini_behaviour, fwtool::drop_all);
  EXPECT_TRUE(s.automated);
  EXPECT_EQ(s.automation_delay_ms, 2500u);
  EXPECT_FALSE(s.prompt_operator);
  EXPECT_EQ(fwtool::read_dll_name(path.string()), "zamlib.dll");
  std::filesystem::remove(path);
}

TEST(IniSettingsTest, NumbersThatDoNotParseKeepTheirDefaultWithAWarning) {
  const auto path = std::filesystem::temp_directory_path() / "fwtool_ini_bad.ini";
  std::ofstream(path) << "[TimingParameters]\nDriverInitTimeout=-1\nTrafficStopTimeout=soon\n"
                         "FirstRequestTimeout=99999999999\n[CustomOptions]\nAutomateRunAll=15 ms\n";
  fwtool::run_settings s;
  std::FILE* warnings = std::tmpfile();
  ASSERT_NE(warnings, nullptr);
  fwtool::read_ini_settings(path.string(), s, warnings);
  std::rewind(warnings);
  char buffer[1024] = {};
  const std::size_t got = std::fread(buffer, 1, sizeof buffer - 1, warnings);
  std::fclose(warnings);
  EXPECT_LT(got, sizeof buffer - 1);
  EXPECT_EQ(s.driver_init_timeout_ms, 30000u);
  EXPECT_EQ(s.traffic_stop_timeout_ms, 30000u);
  EXPECT_EQ(s.first_request_timeout_ms, 30000u);
  EXPECT_EQ(s.automation_delay_ms, 15u);  // as "%ld" reads it
  EXPECT_STREQ(buffer,
               "fwtool: [TimingParameters] DriverInitTimeout = \"-1\" is not a number of 0 or more; using 30000\n"
               "fwtool: [TimingParameters] TrafficStopTimeout = \"soon\" is not a number of 0 or more; using 30000\n"
               "fwtool: [TimingParameters] FirstRequestTimeout = \"99999999999\" is not a number of 0 or more; "
               "using 30000\n");
  std::filesystem::remove(path);
  uint32_t value = 7;
  EXPECT_TRUE(fwtool::parse_ini_number(" +42", value));
  EXPECT_EQ(value, 42u);
  EXPECT_TRUE(fwtool::parse_ini_number("-0", value));
  EXPECT_EQ(value, 0u);
  EXPECT_FALSE(fwtool::parse_ini_number("", value));
}

}  // namespace
