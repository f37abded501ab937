// Diagnostics of the capability walks, discovery and link control: printed and flushed at
// once, so that they stay in order with the test program's own output.
#pragma once

namespace vexo {

void say(const char* format, ...);

}  // namespace vexo
