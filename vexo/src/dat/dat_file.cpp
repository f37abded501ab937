// parseDatFile: the DAT file's XML elements into a VEXO_DAT_INFO_t record, read with expat.
#include <expat.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dat/dat_file_limits.h"
#include "dat/dat_numbers.h"
#include "platform/fs.h"
#include "platform/input_file.h"
#include "vexo.h"

namespace {

using vexo::dat::decimal_value;
using vexo::dat::hex_value;

constexpr size_t chunk_size = 512;

// Find flags a "DUT" attribute sets.
constexpr uint32_t find_by_vendor_id = 0x00000001;
constexpr uint32_t find_by_device_id = 0x00000002;
constexpr uint32_t find_by_bdf = 0x00001000;

bool same_name(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

void set_defaults(VEXO_DAT_INFO_t& info) {
  const int32_t mode = info.mode;  // the caller's value stays unless the file names a mode
  std::memset(&info, 0, sizeof info);
  info.mode = mode;
  std::memset(info.devices, 0xFF, sizeof info.devices);
  std::memset(info.subsystem_device_ids, 0xFF, sizeof info.subsystem_device_ids);
  std::memset(info.subsystem_vendor_ids, 0xFF, sizeof info.subsystem_vendor_ids);
  info.replay_count = 3;
  info.pcie_base_address = 0xE0000000;
  info.length = 4;
  info.serr_enable = 1;
}

// Copies a path value, cut to fit the field with its terminator, with native separators.
void copy_path(char (&field)[VEXO_DAT_PATH_SIZE], const char* value) {
  std::string path(value, strnlen(value, VEXO_DAT_PATH_SIZE - 1));
  path = platform::native_path(std::move(path));
  std::memcpy(field, path.c_str(), path.size() + 1);
}

void read_test(VEXO_DAT_INFO_t& info, const XML_Char** attributes) {
  for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
    if (!same_name(a[0], "mode")) continue;
    if (std::strcmp(a[1], "platform") == 0) info.mode = VEXO_DAT_MODE_PLATFORM;
    if (std::strcmp(a[1], "AddIn") == 0) info.mode = VEXO_DAT_MODE_ADD_IN;
    if (std::strcmp(a[1], "simulation") == 0) info.mode = VEXO_DAT_MODE_SIMULATION;
  }
}

void read_user(VEXO_DAT_INFO_t& info, const char* value) {
  char* copy = strdup(value);
  if (copy == nullptr) return;
  // A second "User" element replaces the copy this parse made for the first.
  std::free(info.user_name);
  info.user_name = copy;
}

void read_dut_config(VEXO_DAT_INFO_t& info, const XML_Char** attributes) {
  for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
    if (same_name(a[0], "incr")) {
      info.increment = static_cast<int16_t>(vexo::dat::signed_hex_value(a[1]));
    } else if (same_name(a[0], "offset")) {
      info.offset = static_cast<uint16_t>(hex_value(a[1]));
    } else if (same_name(a[0], "length")) {
      info.length = static_cast<uint16_t>(hex_value(a[1]));
    }
  }
}

void read_dut(VEXO_DAT_INFO_t& info, const XML_Char** attributes) {
  if (info.device_count < 0 || info.device_count >= VEXO_DAT_MAX_DEVICES) return;
  const int entry = info.device_count;
  VEXO_DEVICE_FIND_INFO_t& device = info.devices[entry];
  uint32_t& flags = info.find_flags[entry];
  std::memset(&device, 0xFF, sizeof device);
  info.subsystem_device_ids[entry] = 0xFFFF;
  info.subsystem_vendor_ids[entry] = 0xFFFF;
  for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
    const char* name = a[0];
    const char* value = a[1];
    if (same_name(name, "vendorid")) {
      device.vendor_id = static_cast<uint16_t>(hex_value(value));
      flags |= find_by_vendor_id;
    } else if (same_name(name, "deviceid")) {
      device.device_id = static_cast<uint16_t>(hex_value(value));
      flags |= find_by_device_id;
    } else if (same_name(name, "bus")) {
      // The bus is stored as 16 bits: the bus byte and the unused byte after it.
      const auto bus = static_cast<uint16_t>(decimal_value(value));
      device.bus = static_cast<uint8_t>(bus & 0xFF);
      device.unused = static_cast<uint8_t>(bus >> 8);
      flags |= find_by_bdf;
    } else if (same_name(name, "device")) {
      device.device = static_cast<uint8_t>(decimal_value(value));
      flags |= find_by_bdf;
    } else if (same_name(name, "function")) {
      device.function = static_cast<uint8_t>(decimal_value(value));
      flags |= find_by_bdf;
    } else if (same_name(name, "subsysdeviceid")) {
      info.subsystem_device_ids[entry] = static_cast<uint16_t>(decimal_value(value));
    } else if (same_name(name, "subsysvendor")) {
      info.subsystem_vendor_ids[entry] = static_cast<uint16_t>(decimal_value(value));
    }
  }
  ++info.device_count;
}

void XMLCALL start_element(void* user_data, const XML_Char* name, const XML_Char** attributes) {
  VEXO_DAT_INFO_t& info = *static_cast<VEXO_DAT_INFO_t*>(user_data);
  // Elements that take one value read it from their first attribute, whatever its name.
  const char* first_value = attributes[0] != nullptr ? attributes[1] : nullptr;
  if (same_name(name, "Test")) {
    read_test(info, attributes);
  } else if (same_name(name, "DUTConfig")) {
    read_dut_config(info, attributes);
  } else if (same_name(name, "DUT")) {
    read_dut(info, attributes);
  } else if (first_value == nullptr) {
    return;
  } else if (same_name(name, "User")) {
    read_user(info, first_value);
  } else if (same_name(name, "VEXOINIFilePath")) {
    copy_path(info.vexo_ini_path, first_value);
  } else if (same_name(name, "VEXOINIFileName")) {
    copy_path(info.vexo_ini_file, first_value);
    if (info.app_ini_file[0] == '\0') {
      std::memcpy(info.app_ini_file, info.vexo_ini_file, sizeof info.app_ini_file);
    }
  } else if (same_name(name, "AppINIFileName")) {
    copy_path(info.app_ini_file, first_value);
  } else if (same_name(name, "ReplayCount")) {
    info.replay_count = decimal_value(first_value);
  } else if (same_name(name, "PCIEBaseAddress")) {
    info.pcie_base_address = hex_value(first_value);
  } else if (same_name(name, "DUTSerrEnable")) {
    info.serr_enable = static_cast<uint16_t>(decimal_value(first_value));
  }
}

void XMLCALL end_element(void*, const XML_Char*) {}

// Feeds the text to the parser in chunks; false (after the message) on malformed XML.
bool parse_chunks(XML_Parser parser, const std::string& text) {
  for (size_t done = 0;; done += chunk_size) {
    const size_t length = std::min(chunk_size, text.size() - std::min(done, text.size()));
    const bool final_chunk = length < chunk_size;
    if (XML_Parse(parser, text.data() + std::min(done, text.size()), static_cast<int>(length),
                  final_chunk ? 1 : 0) == XML_STATUS_ERROR) {
      std::fprintf(stderr, "EXPAT XML PARSER . ERROR (desc(%s))  in dat file at line %d\n",
                   XML_ErrorString(XML_GetErrorCode(parser)),
                   static_cast<int>(XML_GetCurrentLineNumber(parser)));
      return false;
    }
    if (final_chunk) return true;
  }
}

}  // namespace

extern "C" VEXO_API VEXO_STATUS_t parseDatFile(const char* path, VEXO_DAT_INFO_t* info) {
  if (path == nullptr || info == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  set_defaults(*info);

  // Only a regular file of DAT size is read: a folder, a device or a pipe never is.
  std::string text, reason;
  if (!platform::read_input_text_file(path, vexo::dat::max_dat_file_bytes, &text, &reason)) {
    if (platform::file_exists(path))
      std::fprintf(stderr, "***ERROR***. FILE[%s] LINE[%d] cannot read file[%s]: %s\n", "dat_file.cpp",
                   __LINE__, path, reason.c_str());
    else
      std::fprintf(stderr, "***ERROR***. FILE[%s] LINE[%d] cannot open file[%s]\n", "dat_file.cpp",
                   __LINE__, path);
    XML_ParserFree(parser);
    return VEXO_STATUS_NO_DAT_FILE;
  }
  XML_SetUserData(parser, info);
  XML_SetElementHandler(parser, start_element, end_element);
  const bool parsed = parse_chunks(parser, text);
  XML_ParserFree(parser);
  return parsed ? VEXO_STATUS_SUCCESS : VEXO_STATUS_NO_DAT_FILE;
}
