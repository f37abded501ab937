// parseDatFile: the DAT file's XML elements into a VEXO_DAT_INFO_t record, read with expat.
#include <expat.h>
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dat/dat_file_limits.h"
#include "dat/dat_notes.h"
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

// What one parse works on: the caller's record and the notes on its numbers.
struct parse_state {
  VEXO_DAT_INFO_t* info;
  std::vector<VEXO_DAT_NUMBER_NOTE_t> notes;
};

// The range of a field's values; a reading outside it was cut or wrapped.
struct field_range {
  int64_t low, high;
};
constexpr field_range u8_field{0, 0xFF};
constexpr field_range u16_field{0, 0xFFFF};
constexpr field_range s16_field{INT16_MIN, INT16_MAX};
constexpr field_range s32_field{INT32_MIN, INT32_MAX};

// Copies a text into a note's field, cut to fit with its terminator.
template <size_t N>
void copy_text(char (&field)[N], const char* text) {
  std::snprintf(field, N, "%s", text);
}

// Replaces the note of a field with what this reading says about it (nothing when it was
// clean). `taken` is the value the record now holds.
void note_number(parse_state& state, VEXO_DAT_NUMBER_t number, int32_t entry,
                 const char* element, const char* attribute, const char* text,
                 const vexo::dat::reading& reading, field_range range, int64_t taken) {
  auto& notes = state.notes;
  for (auto at = notes.begin(); at != notes.end(); ++at) {
    if (at->number == number && at->entry == entry) {
      notes.erase(at);
      break;
    }
  }
  VEXO_DAT_NUMBER_NOTE_t note{};
  if (!reading.has_digit) {
    note.flaw = VEXO_DAT_FLAW_NO_DIGIT;
  } else if (reading.overflowed || reading.value < range.low || reading.value > range.high) {
    note.flaw = VEXO_DAT_FLAW_CUT;
  } else {
    return;
  }
  note.number = number;
  note.entry = entry;
  copy_text(note.element, element);
  copy_text(note.attribute, attribute);
  copy_text(note.text, text);
  note.value = taken;
  notes.push_back(note);
}

// A hexadecimal reading as the unsigned value it is, for the range check.
vexo::dat::reading unsigned_reading(vexo::dat::reading r) {
  if (r.value < 0) {  // above INT64_MAX: beyond every field but the 64-bit address
    r.value = INT64_MAX;
  }
  return r;
}

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

void read_dut_config(parse_state& state, const XML_Char** attributes) {
  using namespace vexo::dat;
  VEXO_DAT_INFO_t& info = *state.info;
  for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
    if (same_name(a[0], "incr")) {
      info.increment = static_cast<int16_t>(signed_hex_value(a[1]));
      note_number(state, VEXO_DAT_DUTCONFIG_INCR, -1, "DUTConfig", a[0], a[1],
                  read_signed_hex(a[1]), s16_field, info.increment);
    } else if (same_name(a[0], "offset")) {
      info.offset = static_cast<uint16_t>(hex_value(a[1]));
      note_number(state, VEXO_DAT_DUTCONFIG_OFFSET, -1, "DUTConfig", a[0], a[1],
                  unsigned_reading(read_hex(a[1])), u16_field, info.offset);
    } else if (same_name(a[0], "length")) {
      info.length = static_cast<uint16_t>(hex_value(a[1]));
      note_number(state, VEXO_DAT_DUTCONFIG_LENGTH, -1, "DUTConfig", a[0], a[1],
                  unsigned_reading(read_hex(a[1])), u16_field, info.length);
    }
  }
}

void read_dut(parse_state& state, const XML_Char** attributes) {
  using namespace vexo::dat;
  VEXO_DAT_INFO_t& info = *state.info;
  if (info.device_count < 0 || info.device_count >= VEXO_DAT_MAX_DEVICES) return;
  const int entry = info.device_count;
  VEXO_DEVICE_FIND_INFO_t& device = info.devices[entry];
  uint32_t& flags = info.find_flags[entry];
  std::memset(&device, 0xFF, sizeof device);
  info.subsystem_device_ids[entry] = 0xFFFF;
  info.subsystem_vendor_ids[entry] = 0xFFFF;
  const auto note = [&](VEXO_DAT_NUMBER_t number, const XML_Char** a, const reading& r,
                        field_range range, int64_t taken) {
    note_number(state, number, entry, "DUT", a[0], a[1], r, range, taken);
  };
  for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
    const char* name = a[0];
    const char* value = a[1];
    if (same_name(name, "vendorid")) {
      device.vendor_id = static_cast<uint16_t>(hex_value(value));
      flags |= find_by_vendor_id;
      note(VEXO_DAT_DUT_VENDOR_ID, a, unsigned_reading(read_hex(value)), u16_field,
           device.vendor_id);
    } else if (same_name(name, "deviceid")) {
      device.device_id = static_cast<uint16_t>(hex_value(value));
      flags |= find_by_device_id;
      note(VEXO_DAT_DUT_DEVICE_ID, a, unsigned_reading(read_hex(value)), u16_field,
           device.device_id);
    } else if (same_name(name, "bus")) {
      // The bus is stored as 16 bits: the bus byte and the unused byte after it. Discovery
      // matches the bus byte, so a value above 255 names another bus.
      const auto bus = static_cast<uint16_t>(decimal_value(value));
      device.bus = static_cast<uint8_t>(bus & 0xFF);
      device.unused = static_cast<uint8_t>(bus >> 8);
      flags |= find_by_bdf;
      note(VEXO_DAT_DUT_BUS, a, read_decimal(value), u8_field, device.bus);
    } else if (same_name(name, "device")) {
      device.device = static_cast<uint8_t>(decimal_value(value));
      flags |= find_by_bdf;
      note(VEXO_DAT_DUT_DEVICE, a, read_decimal(value), u8_field, device.device);
    } else if (same_name(name, "function")) {
      device.function = static_cast<uint8_t>(decimal_value(value));
      flags |= find_by_bdf;
      note(VEXO_DAT_DUT_FUNCTION, a, read_decimal(value), u8_field, device.function);
    } else if (same_name(name, "subsysdeviceid")) {
      info.subsystem_device_ids[entry] = static_cast<uint16_t>(decimal_value(value));
      note(VEXO_DAT_DUT_SUBSYS_DEVICE_ID, a, read_decimal(value), u16_field,
           info.subsystem_device_ids[entry]);
    } else if (same_name(name, "subsysvendor")) {
      info.subsystem_vendor_ids[entry] = static_cast<uint16_t>(decimal_value(value));
      note(VEXO_DAT_DUT_SUBSYS_VENDOR, a, read_decimal(value), u16_field,
           info.subsystem_vendor_ids[entry]);
    }
  }
  ++info.device_count;
}

void XMLCALL start_element(void* user_data, const XML_Char* name, const XML_Char** attributes) {
  using namespace vexo::dat;
  parse_state& state = *static_cast<parse_state*>(user_data);
  VEXO_DAT_INFO_t& info = *state.info;
  // Elements that take one value read it from their first attribute, whatever its name.
  const char* first_value = attributes[0] != nullptr ? attributes[1] : nullptr;
  if (same_name(name, "Test")) {
    read_test(info, attributes);
  } else if (same_name(name, "DUTConfig")) {
    read_dut_config(state, attributes);
  } else if (same_name(name, "DUT")) {
    read_dut(state, attributes);
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
    note_number(state, VEXO_DAT_REPLAY_COUNT, -1, "ReplayCount", attributes[0], first_value,
                read_decimal(first_value), s32_field, info.replay_count);
  } else if (same_name(name, "PCIEBaseAddress")) {
    info.pcie_base_address = hex_value(first_value);
    reading r = read_hex(first_value);
    r.value = 0;  // every 64-bit pattern fits the field; only an overflow cuts it
    note_number(state, VEXO_DAT_PCIE_BASE_ADDRESS, -1, "PCIEBaseAddress", attributes[0],
                first_value, r, {0, 0}, static_cast<int64_t>(info.pcie_base_address));
  } else if (same_name(name, "DUTSerrEnable")) {
    info.serr_enable = static_cast<uint16_t>(decimal_value(first_value));
    note_number(state, VEXO_DAT_SERR_ENABLE, -1, "DUTSerrEnable", attributes[0], first_value,
                read_decimal(first_value), u16_field, info.serr_enable);
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
  vexo::dat::keep_notes(info, {});

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
  parse_state state{info, {}};
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(parser, start_element, end_element);
  const bool parsed = parse_chunks(parser, text);
  XML_ParserFree(parser);
  // Kept also after malformed XML: the record keeps what was read up to the error.
  vexo::dat::keep_notes(info, std::move(state.notes));
  return parsed ? VEXO_STATUS_SUCCESS : VEXO_STATUS_NO_DAT_FILE;
}
