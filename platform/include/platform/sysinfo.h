// Machine facts for log headers: processors, page size, physical and virtual memory.
#pragma once

#include <cstdint>

namespace platform {

enum class processor_architecture { x86, x86_64, other };

struct machine_facts {
  processor_architecture architecture;
  uint32_t processor_count;
  uint32_t page_size;                // bytes
  uint64_t physical_total_bytes;
  uint64_t physical_available_bytes;
  uint64_t virtual_total_bytes;      // the process's usable address space
  uint64_t virtual_available_bytes;  // address space not yet reserved by the process
};

// Reads the facts of the running machine and process. Values that cannot be read are 0.
machine_facts read_machine_facts();

}  // namespace platform
