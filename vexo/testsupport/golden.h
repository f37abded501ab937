// Golden-file comparison of exact log bytes, with machine-dependent numbers masked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace vexo_test {

// The values of every `name="value"` attribute in the text, in order.
std::vector<std::string> attribute_values(const std::string& text, std::string_view name);

// True for "hour:minute/day/month/year": five runs of digits.
bool is_timestamp(std::string_view value);

// True for a run of digits.
bool is_number(std::string_view value);

// Replaces the values of timestamps and of the platform block's machine numbers with "#".
std::string mask_machine_numbers(const std::string& xml);

// Compares text with testdata/<name>. With VEXO_UPDATE_GOLDEN=1 in the environment the file
// is rewritten instead (review the diff before committing it).
// Captured console output as text: the C runtime of Windows writes a line end to a console
// stream as CR LF, which reads here as "\n"; elsewhere the text is returned as it is.
std::string console_text(std::string captured);

::testing::AssertionResult matches_golden(const std::string& name, const std::string& text);

}  // namespace vexo_test
