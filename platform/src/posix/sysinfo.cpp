// Machine facts from sysconf, /proc/meminfo, /proc/self/status and the address-space limit.
#include "platform/sysinfo.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace platform {
namespace {

// Reads "<key>: <number> kB" from a /proc text file; 0 when absent.
uint64_t read_proc_kib(const char* path, const char* key) {
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return 0;
  const std::size_t key_length = std::strlen(key);
  char line[256];
  uint64_t kib = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, key, key_length) == 0 && line[key_length] == ':') {
      unsigned long long value = 0;
      if (std::sscanf(line + key_length + 1, "%llu", &value) == 1) kib = value;
      break;
    }
  }
  std::fclose(file);
  return kib;
}

processor_architecture build_architecture() {
#if defined(__x86_64__)
  return processor_architecture::x86_64;
#elif defined(__i386__)
  return processor_architecture::x86;
#else
  return processor_architecture::other;
#endif
}

// The user part of the address space: 47 bits on 64-bit Linux (128 TiB), 3 GiB on 32-bit.
uint64_t user_address_space_bytes() {
  if constexpr (sizeof(void*) == 8) return uint64_t{1} << 47;
  return uint64_t{3} << 30;
}

// An address-space limit (ulimit -v) narrows what the process may use.
uint64_t usable_address_space_bytes() {
  uint64_t total = user_address_space_bytes();
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur < total) {
    total = limit.rlim_cur;
  }
  return total;
}

}  // namespace

machine_facts read_machine_facts() {
  machine_facts facts{};
  facts.architecture = build_architecture();
  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  facts.processor_count = processors > 0 ? static_cast<uint32_t>(processors) : 0;
  const long page = sysconf(_SC_PAGESIZE);
  facts.page_size = page > 0 ? static_cast<uint32_t>(page) : 0;

  facts.physical_total_bytes = read_proc_kib("/proc/meminfo", "MemTotal") * 1024;
  uint64_t available_kib = read_proc_kib("/proc/meminfo", "MemAvailable");
  if (available_kib == 0) available_kib = read_proc_kib("/proc/meminfo", "MemFree");
  facts.physical_available_bytes = available_kib * 1024;

  facts.virtual_total_bytes = usable_address_space_bytes();
  const uint64_t used = read_proc_kib("/proc/self/status", "VmSize") * 1024;
  facts.virtual_available_bytes =
      used < facts.virtual_total_bytes ? facts.virtual_total_bytes - used : 0;
  return facts;
}

}  // namespace platform
