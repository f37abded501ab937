// The XML log's document header: root element with timestamp and the machine's platform block.
#pragma once

#include <string>

#include "platform/clock.h"
#include "platform/sysinfo.h"

namespace vexo {

inline constexpr const char* log_user = "test_user";

// "hour:minute/day/month/year" without leading zeros.
std::string log_timestamp(const platform::local_time& time);

// The header lines from the root element to "</Platform>", memory in whole mebibytes.
std::string document_header(const platform::local_time& time,
                            const platform::machine_facts& facts);

}  // namespace vexo
