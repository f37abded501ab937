// Machine facts from GetNativeSystemInfo and GlobalMemoryStatusEx.
#include <windows.h>

#include "platform/sysinfo.h"

namespace platform {

machine_facts read_machine_facts() {
  machine_facts facts{};
  SYSTEM_INFO system {};
  GetSystemInfo(&system);
  switch (system.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL: facts.architecture = processor_architecture::x86; break;
    case PROCESSOR_ARCHITECTURE_AMD64: facts.architecture = processor_architecture::x86_64; break;
    default: facts.architecture = processor_architecture::other; break;
  }
  facts.processor_count = system.dwNumberOfProcessors;
  facts.page_size = system.dwPageSize;
  MEMORYSTATUSEX memory {};
  memory.dwLength = sizeof memory;
  if (GlobalMemoryStatusEx(&memory)) {
    facts.physical_total_bytes = memory.ullTotalPhys;
    facts.physical_available_bytes = memory.ullAvailPhys;
    facts.virtual_total_bytes = memory.ullTotalVirtual;
    facts.virtual_available_bytes = memory.ullAvailVirtual;
  }
  return facts;
}

}  // namespace platform
