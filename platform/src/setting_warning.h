// One line on standard error for an environment setting whose value cannot be used, so that
// the default it falls back to is not taken silently; each value is named once.
#pragma once

namespace platform {

void warn_unusable_setting(const char* name, const char* value, const char* fallback);

}  // namespace platform
