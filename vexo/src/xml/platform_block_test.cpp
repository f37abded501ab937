// The XML document header and its platform block, from fixed machine facts.
#include "xml/platform_block.h"

#include <gtest/gtest.h>

namespace {

platform::local_time nine_past_seven() {
  platform::local_time time{};
  time.year = 2024;
  time.month = 3;
  time.day = 5;
  time.hour = 7;
  time.minute = 9;
  time.second = 59;
  return time;
}

platform::machine_facts sample_machine(platform::processor_architecture architecture) {
  platform::machine_facts facts{};
  facts.architecture = architecture;
  facts.processor_count = 8;
  facts.page_size = 4096;
  facts.physical_total_bytes = 16ull * 1024 * 1048576 + 1048575;  // rounds down
  facts.physical_available_bytes = 5000ull * 1048576;
  facts.virtual_total_bytes = 1ull << 47;
  facts.virtual_available_bytes = (1ull << 47) - 300ull * 1048576 - 1;
  return facts;
}

TEST(PlatformBlockTest, ExactHeaderWithWholeMebibytes) {
  EXPECT_EQ(vexo::document_header(nine_past_seven(),
                                  sample_machine(platform::processor_architecture::x86_64)),
            "<VEXOXMLLog user=\"test_user\" timestamp=\"7:9/5/3/2024\">\n"
            "<Platform>\n"
            "<CPU id=\"1\" speed=\"2000\" Type=\"Intel\" numCPUs=\"8\">\n"
            "</CPU>\n"
            "<Memory pagesize=\"4096\" totalPhysRAM=\"16384\" availPhysRAM=\"5000\">\n"
            "</Memory>\n"
            "<VirtualMemory Max=\"134217728\" Free=\"134217427\">\n"
            "</VirtualMemory>\n"
            "</Platform>\n");
}

TEST(PlatformBlockTest, ProcessorTypeByArchitecture) {
  const auto header = [](platform::processor_architecture architecture) {
    return vexo::document_header(nine_past_seven(), sample_machine(architecture));
  };
  EXPECT_NE(header(platform::processor_architecture::x86).find("Type=\"Intel\""),
            std::string::npos);
  EXPECT_NE(header(platform::processor_architecture::other).find("Type=\"Unknown\""),
            std::string::npos);
}

TEST(PlatformBlockTest, TimestampHasNoLeadingZeros) {
  platform::local_time midnight{};
  midnight.year = 2025;
  midnight.month = 12;
  midnight.day = 31;
  EXPECT_EQ(vexo::log_timestamp(midnight), "0:0/31/12/2025");
}

}  // namespace
