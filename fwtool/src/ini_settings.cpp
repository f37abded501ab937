// The tool's ini file: time-outs, packet log format, automation and prompts.
#include "ini_settings.h"

#include <cctype>

#include "platform/fs.h"
#include "platform/profile.h"

namespace fwtool {
namespace {

// Reads one numeric key; a value that is not a number of 0 or more keeps the default.
uint32_t read_number(const std::string& path, const char* section, const char* key, uint32_t fallback,
                     std::FILE* warnings) {
  const std::string text = platform::read_profile_string(section, key, std::to_string(fallback), path);
  uint32_t value = 0;
  if (parse_ini_number(text, value)) return value;
  if (warnings != nullptr) {
    std::fprintf(warnings, "fwtool: [%s] %s = \"%s\" is not a number of 0 or more; using %u\n", section, key,
                 text.c_str(), fallback);
  }
  return fallback;
}

}  // namespace

std::string ini_path(const std::string& folder) { return platform::native_path(folder + "/ini" + "\\" + "ORVENapp.ini"); }

bool parse_ini_number(const std::string& text, uint32_t& value) {
  std::size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  uint64_t number = 0;
  std::size_t digits = 0;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, ++digits) {
    number = number * 10 + static_cast<uint64_t>(text[at] - '0');
    if (number > 0xFFFFFFFFu) return false;
  }
  if (digits == 0 || (negative && number != 0)) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

void read_ini_settings(const std::string& path, run_settings& s, std::FILE* warnings) {
  s.driver_init_timeout_ms = read_number(path, "TimingParameters", "DriverInitTimeout", 30000, warnings);
  s.traffic_stop_timeout_ms = read_number(path, "TimingParameters", "TrafficStopTimeout", 30000, warnings);
  s.first_request_timeout_ms = read_number(path, "TimingParameters", "FirstRequestTimeout", 30000, warnings);
  s.log_type = read_number(path, "LogParameters", "LogType", 0, warnings);
  s.ini_behaviour = read_number(path, "DeviceParameters", "NonResponsiveDevice", 0, warnings) != 0 ? drop_all
                                                                                                     : normal_response;
  s.behaviour = s.ini_behaviour;
  s.automation_delay_ms = read_number(path, "CustomOptions", "AutomateRunAll", 0, warnings);
  s.automated = s.automation_delay_ms != 0;
  s.prompt_operator = read_number(path, "CustomOptions", "PromptUserToPowerSystem", 1, warnings) != 0;
  s.log_final_registers = read_number(path, "LogParameters", "LogFinalDevRegisters", 0, warnings) != 0;
}

std::string read_dll_name(const std::string& path) {
  return platform::read_profile_string("DLL", "DLLName", "Dll not found", path);
}

}  // namespace fwtool
