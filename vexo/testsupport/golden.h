// Golden-file comparison of exact log bytes, with machine-dependent numbers masked.
#pragma once

#include <string>

#include <gtest/gtest.h>

namespace vexo_test {

// Replaces the values of timestamps and of the platform block's machine numbers with "#".
std::string mask_machine_numbers(const std::string& xml);

// Compares text with testdata/<name>. With VEXO_UPDATE_GOLDEN=1 in the environment the file
// is rewritten instead (review the diff before committing it).
::testing::AssertionResult matches_golden(const std::string& name, const std::string& text);

}  // namespace vexo_test
