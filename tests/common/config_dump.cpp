// LogDutConfigSpace: the DUT's configuration header and PCI capability list in one INFO entry.
#include <cstdio>
#include <set>
#include <string>

#include "shared_routines.h"

namespace {

constexpr unsigned int header_bytes = 64;
constexpr unsigned int capability_pointer = 0x34;
constexpr unsigned int list_floor = 0x40;   // a next pointer at or below this ends the list
constexpr int max_capabilities = 48;        // (256 - 64) / 4: more entries means a loop

struct capability_name {
  const char* name;
  unsigned int length;
};

constexpr capability_name names[] = {
    {"No PCI capability", 0},
    {"PCI Power Management capability", 8},
    {"PCI AGP capability", 8},
    {"PCI VPD capability", 8},
    {"PCI Slot ID capability", 8},
    {"PCI MSI capability", 20},
    {"PCI Compact PCI hot swap capability", 8},
    {"PCI-X capability", 8},
    {"PCI HyperTransport capability", 8},
    {"PCI Vendor Specific capability", 8},
    {"PCI debug port capability", 8},
    {"PCI compact PCI resource control capability", 8},
    {"PCI Hot Plug capability", 8},
    {"PCI Bridge SubSystem Vendor ID capability", 8},
    {"PCI AGP 8x capability", 8},
    {"PCI Secure Device capability", 8},
    {"PCI PCIE express capability", 20},
    {"PCI MSI_X capability", 12},
};

void append(std::string& text, const char* format, unsigned a, unsigned b, unsigned c = 0,
            unsigned d = 0, unsigned e = 0, unsigned f = 0) {
  char line[128];
  std::snprintf(line, sizeof line, format, a, b, c, d, e, f);
  text += line;
}

// One line per 4 bytes: offsets o+3 and o, then the bytes most significant first.
void append_words(std::string& text, const uint8_t* bytes, unsigned int count) {
  for (unsigned int o = 0; o + 4 <= count; o += 4) {
    append(text, "0x%2.2X - 0x%2.2X : [0x%2.2X-0x%2.2X-0x%2.2X-0x%2.2X]\n", o + 3, o, bytes[o + 3],
           bytes[o + 2], bytes[o + 1], bytes[o]);
  }
}

}  // namespace

void LogDutConfigSpace(VEXO_DEVICE_HANDLE_t dut, VEXO_LOG_HANDLE_t log) {
  uint8_t header[header_bytes] = {};
  unsigned int length = header_bytes;
  if (ReadConfigSpace(dut, header, 0, &length) != VEXO_STATUS_SUCCESS) return;
  std::string text = "DUT PCI Configuration Space Register Values\n";
  text += "Byte Offset :    Value \n";
  append_words(text, header, header_bytes);

  uint8_t pointer = 0;
  length = 1;
  ReadConfigSpace(dut, &pointer, capability_pointer, &length);
  std::set<unsigned int> visited;
  PCI_CAPABILITY_HEADER_t cap{};
  while (visited.size() < max_capabilities && visited.insert(pointer).second &&
         GetCapabilityHeader(dut, &cap, pointer) == VEXO_STATUS_SUCCESS) {
    const bool known = cap.id < sizeof names / sizeof names[0];
    char generic[40];
    std::snprintf(generic, sizeof generic, "PCI capability 0x%2.2X", cap.id);
    const char* name = known ? names[cap.id].name : generic;
    const unsigned int bytes_wanted = known ? names[cap.id].length : 0;
    char found[96];
    std::snprintf(found, sizeof found, "Found %s at offset 0x%2.2X\n", name, pointer);
    text += found;
    uint8_t bytes[20] = {};
    unsigned int got = bytes_wanted;
    if (bytes_wanted != 0 && ReadConfigSpace(dut, bytes, pointer, &got) != VEXO_STATUS_SUCCESS) {
      got = 0;
    }
    text += "Byte Offset : Value \n";
    append_words(text, bytes, got);
    pointer = cap.next;
    if (pointer == 0 || pointer <= list_floor) break;
  }
  WriteToLog(log, VEXO_LOG_INFO, "%s", text.c_str());
}
