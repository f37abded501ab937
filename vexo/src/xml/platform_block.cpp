// The XML log's document header and platform block.
#include "xml/platform_block.h"

#include <cinttypes>
#include <cstdio>

namespace vexo {
namespace {

constexpr uint64_t mebibyte = 1048576;
constexpr int reported_cpu_speed = 2000;  // the block has always carried this constant

const char* processor_type(platform::processor_architecture architecture) {
  return architecture == platform::processor_architecture::other ? "Unknown" : "Intel";
}

}  // namespace

std::string log_timestamp(const platform::local_time& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%d:%d/%d/%d/%d", time.hour, time.minute, time.day,
                time.month, time.year);
  return text;
}

std::string document_header(const platform::local_time& time,
                            const platform::machine_facts& facts) {
  char text[768];
  std::snprintf(text, sizeof text,
                "<VEXOXMLLog user=\"%s\" timestamp=\"%s\">\n"
                "<Platform>\n"
                "<CPU id=\"1\" speed=\"%d\" Type=\"%s\" numCPUs=\"%d\">\n"
                "</CPU>\n"
                "<Memory pagesize=\"%d\" totalPhysRAM=\"%" PRIu64 "\" availPhysRAM=\"%" PRIu64
                "\">\n"
                "</Memory>\n"
                "<VirtualMemory Max=\"%" PRIu64 "\" Free=\"%" PRIu64 "\">\n"
                "</VirtualMemory>\n"
                "</Platform>\n",
                log_user, log_timestamp(time).c_str(), reported_cpu_speed,
                processor_type(facts.architecture), static_cast<int>(facts.processor_count),
                static_cast<int>(facts.page_size), facts.physical_total_bytes / mebibyte,
                facts.physical_available_bytes / mebibyte, facts.virtual_total_bytes / mebibyte,
                facts.virtual_available_bytes / mebibyte);
  return text;
}

}  // namespace vexo
