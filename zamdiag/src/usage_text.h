// The tool's usage text.
#pragma once

#include <string>

namespace zamdiag {

const std::string& usage_text();

}  // namespace zamdiag
